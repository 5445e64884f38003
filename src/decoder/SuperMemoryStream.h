#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// A read-only view of memory that the caller owns and the stream never frees; pointed at each
// JPEG payload in turn so that it is decoded in place.
class TSuperMemoryStream {
 public:
  void SetPointer(const uint8_t* memory, size_t size) noexcept {
    FMemory = memory;
    FSize = size;
    FPosition = 0;
  }
  const uint8_t* Memory() const noexcept { return FMemory; }
  size_t Size() const noexcept { return FSize; }
  size_t Position() const noexcept { return FPosition; }
  void Seek(size_t position) noexcept { FPosition = position < FSize ? position : FSize; }

 private:
  const uint8_t* FMemory = nullptr;
  size_t FSize = 0;
  size_t FPosition = 0;
};

}  // namespace kyv
