#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "writer/Pixels24.h"

namespace kyv {

// Writes a thumbnail folder: one small upright JPEG per entry in the subfolder "nails", named
// 0001.jpg, 0002.jpg ..., and at Finish the index "nails.xml" with one line "time=file name"
// per entry, each ended by CR LF. Single-threaded.
class TNailsWriter {
 public:
  // Creates dir/"nails" when missing; raises EKyvError when it cannot. Thumbnails are
  // nailWidth pixels wide and keep the screen's proportions.
  explicit TNailsWriter(const std::filesystem::path& dir, int nailWidth = 160, int quality = 75);

  // Writes the thumbnail of the screen at the given time at once. Times must not decrease.
  void Add(uint32_t time, const TPixels24& screen);
  // Writes dir/"nails.xml".
  void Finish();

  // Time and image file name of each entry, in order.
  const std::vector<std::pair<uint32_t, std::string>>& Entries() const { return FEntries; }

 private:
  std::filesystem::path FDir;
  int FNailWidth;
  int FQuality;
  std::vector<std::pair<uint32_t, std::string>> FEntries;
};

}  // namespace kyv
