#include "store/RecordBuffer.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/Errors.h"

namespace kyv {

TRecordBuffer::TRecordBuffer(size_t Capacity) {
  if (Capacity > 0) {
    FBlock = std::make_unique_for_overwrite<uint8_t[]>(Capacity);
    FCapacity = Capacity;
  }
}

void TRecordBuffer::Assign(TFrameView Record) {
  const size_t size = Record.Size();
  if (size > FCapacity) {
    try {
      FBlock = std::make_unique_for_overwrite<uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
      // The old block and its record stay as they were.
      throw EKyvError("Out of memory for a frame record of " + std::to_string(size) + " bytes");
    }
    FCapacity = size;
  }
  std::memcpy(FBlock.get(), Record.Bytes(), size);
  FSize = size;
}

}  // namespace kyv
