#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A readable byte source with a position: a local file or a ranged web stream. Used only by the
// reader thread that made it.
class TStream {
 public:
  virtual ~TStream() = default;
  // Up to count bytes at the position, which advances by what was read; fewer only at the end
  // of the source or, for a network stream, after a failure that has been logged.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Returns the new position; raises EKyvError for an origin the stream cannot serve.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
};

}  // namespace kyv
