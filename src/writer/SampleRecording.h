#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "decoder/FileFormat.h"
#include "writer/SampleGenerator.h"

namespace kyv {

// What WriteSampleRecording wrote.
struct TSampleSummary {
  uint64_t Frames = 0;
  uint64_t PayloadBytes = 0;
  uint64_t FileSize = 0;
  uint32_t Duration = 0;
  std::array<uint64_t, 5> ByType{};         // indexed by TFrameType
  std::array<uint64_t, 5> ByCompression{};  // records with a payload, by TCompression
  std::vector<TIndexEntry> Index;
  std::vector<std::pair<uint32_t, std::string>> Nails;  // time, image file name
  std::filesystem::path NailsDir;                       // empty when no thumbnails were written
};

// Called after each frame is written: its number (from 0), the record, its offset from the
// start of the frame area, and the picture the player shows after it (without the cursor).
using TSampleObserver = std::function<void(uint64_t number, const TSampleFrame& frame,
                                           uint64_t offset, const TPixels24& screen)>;

// Writes the generator's recording to path and, unless options.NailInterval is 0, its
// thumbnails beside it (path's folder: "nails.xml" and "nails"), one every NailInterval from
// time 0, each showing the screen at its time. Raises EKyvError.
TSampleSummary WriteSampleRecording(const std::filesystem::path& path,
                                    const TSampleOptions& options = {},
                                    const TSampleObserver& observer = {});

}  // namespace kyv
