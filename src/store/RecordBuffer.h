#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "store/FrameRecord.h"

namespace kyv {

// A reusable copy of one frame record, owned by the one thread that fills and reads it (the play
// thread). Its block grows only when a record larger than any copied before arrives, and then to
// exactly that record's size, so copying into it allocates nothing in the steady state.
class TRecordBuffer {
 public:
  explicit TRecordBuffer(size_t Capacity = 0);
  TRecordBuffer(const TRecordBuffer&) = delete;
  TRecordBuffer& operator=(const TRecordBuffer&) = delete;

  // Copies a whole record in, first enlarging the block when it is too small.
  void Assign(TFrameView Record);
  // Forgets the record held; the block stays.
  void Reset() noexcept { FSize = 0; }

  bool Empty() const noexcept { return FSize == 0; }
  size_t Size() const noexcept { return FSize; }
  size_t Capacity() const noexcept { return FCapacity; }
  // The record held; an empty view when there is none.
  TFrameView View() const noexcept { return FSize == 0 ? TFrameView() : TFrameView(FBlock.get()); }

 private:
  std::unique_ptr<uint8_t[]> FBlock;
  size_t FCapacity = 0;
  size_t FSize = 0;
};

}  // namespace kyv
