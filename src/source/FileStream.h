#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "source/Stream.h"

namespace kyv {

// A local file opened read-only. Used only by the reader thread that made it.
class TFileStream : public TStream {
 public:
  // Raises EKyvError naming the file and the reason when it cannot be opened or is not a regular
  // file; never blocks in the open.
  explicit TFileStream(const std::string& FileName);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Reads until count bytes or the end of the file; raises EKyvError on a read error.
  size_t Read(void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // The file's current length.
  int64_t Size() const;

 private:
  int FHandle = -1;
  std::string FFileName;
};

}  // namespace kyv
