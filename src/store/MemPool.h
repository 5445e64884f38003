#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "store/ScopedLock.h"

namespace kyv {

// A fixed-size byte ring between a socket's receiver thread, which writes whole messages, and a
// parser thread, which reads whole frame records. Nothing is allocated after creation.
//
// Every member takes the pool's lock, which is recursive: a caller holds it (Lock, or TGuard)
// across a free-space test and the following Write, or across reading one whole record.
class TMemPool {
 public:
  using TGuard = TScopedLock<TMemPool>;

  // Raises EKyvError for a negative Size.
  explicit TMemPool(int32_t Size);
  ~TMemPool();
  TMemPool(const TMemPool&) = delete;
  TMemPool& operator=(const TMemPool&) = delete;

  // Takes up to Len held bytes, oldest first, into Dest, or drops them when Dest is null, and
  // returns how many were taken (0 for Len <= 0).
  int32_t Read(uint8_t* Dest, int32_t Len);
  // Stores all Len bytes of Src and returns Len, or, when they do not all fit (or Len <= 0),
  // stores nothing and returns 0. Raises EKyvError for a null Src with Len > 0.
  int32_t Write(const uint8_t* Src, int32_t Len);

  void Lock() const { FLock.lock(); }
  void Unlock() const { FLock.unlock(); }

  int32_t FreeSpace() const;
  int32_t DataLen() const;
  int32_t Size() const;

 private:
  // Caller holds FLock. Pointer P moved on by N <= FSize bytes: past the end it continues from
  // the start, but it may rest exactly at the end.
  uint8_t* Advance(uint8_t* P, int32_t N) const;
  // Caller holds FLock. Copies N held bytes from FReadPtr into Dest, wrapping at the end.
  void CopyOut(uint8_t* Dest, int32_t N) const;

  mutable std::recursive_mutex FLock;
  // All guarded by FLock.
  std::unique_ptr<uint8_t[]> FMemory;
  uint8_t* FWritePtr;  // where the next written byte goes
  uint8_t* FReadPtr;   // where the next read byte comes from
  int32_t FSize;
  int32_t FDataLen = 0;
};

}  // namespace kyv
