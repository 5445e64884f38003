#include "store/MemPool.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Errors.h"

namespace kyv {

namespace {

std::unique_ptr<uint8_t[]> NewPoolBlock(int64_t size) {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EKyvError("Out of memory for a memory pool of " + std::to_string(size) + " bytes");
  }
}

}  // namespace

TMemPool::TMemPool(int32_t Size) {
  if (Size < 0) throw EKyvError("Memory pool of negative size " + std::to_string(Size));
  FMemory = NewPoolBlock(Size);
  FWritePtr = FReadPtr = FMemory.get();
  FSize = Size;
}

TMemPool::~TMemPool() = default;

uint8_t* TMemPool::Advance(uint8_t* P, int32_t N) const {
  const int64_t offset = (P - FMemory.get()) + static_cast<int64_t>(N);
  return FMemory.get() + (offset > FSize ? offset - FSize : offset);
}

void TMemPool::CopyOut(uint8_t* Dest, int32_t N) const {
  const int32_t first =
      std::min<int32_t>(N, static_cast<int32_t>(FMemory.get() + FSize - FReadPtr));
  std::memcpy(Dest, FReadPtr, static_cast<size_t>(first));
  std::memcpy(Dest + first, FMemory.get(), static_cast<size_t>(N - first));
}

int32_t TMemPool::Read(uint8_t* Dest, int32_t Len) {
  if (Len <= 0) return 0;
  std::lock_guard guard(FLock);
  const int32_t n = std::min(Len, FDataLen);
  if (Dest != nullptr && n > 0) CopyOut(Dest, n);
  FReadPtr = Advance(FReadPtr, n);
  FDataLen -= n;
  return n;
}

int32_t TMemPool::Write(const uint8_t* Src, int32_t Len) {
  if (Len <= 0) return 0;
  if (Src == nullptr) throw EKyvError("Memory pool write without data");
  std::lock_guard guard(FLock);
  if (FSize - FDataLen < Len) return 0;
  const int32_t first =
      std::min<int32_t>(Len, static_cast<int32_t>(FMemory.get() + FSize - FWritePtr));
  std::memcpy(FWritePtr, Src, static_cast<size_t>(first));
  std::memcpy(FMemory.get(), Src + first, static_cast<size_t>(Len - first));
  FWritePtr = Advance(FWritePtr, Len);
  FDataLen += Len;
  return Len;
}

int32_t TMemPool::FreeSpace() const {
  std::lock_guard guard(FLock);
  return FSize - FDataLen;
}

int32_t TMemPool::DataLen() const {
  std::lock_guard guard(FLock);
  return FDataLen;
}

int32_t TMemPool::Size() const {
  std::lock_guard guard(FLock);
  return FSize;
}

}  // namespace kyv
