#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "decoder/Limits.h"
#include "decoder/SuperMemoryStream.h"

namespace kyv {

// The decoder's process-wide state: the usage count, the shared stream, the recursive decoder
// lock and the shared output buffer. Any thread.
class TDecoderState {
 public:
  static TDecoderState& Instance();

  // True when the stream and the lock exist afterwards.
  bool Init();
  // Frees the stream, the shared buffer and the lock when the count goes from 1 to 0.
  void Uninit();

  // Raise EKyvError when the lock does not exist (Lock) or this thread does not hold it (Unlock).
  void Lock();
  void Unlock();

  // Callers hold the decoder lock. Raise EKyvError when the decoder was not initialised.
  TSuperMemoryStream& Stream();
  uint8_t* SharedOutput();  // allocated on first use

 private:
  TDecoderState() = default;

  std::mutex FStateLock;  // guards the four fields below
  int32_t FUsage = 0;
  std::unique_ptr<TSuperMemoryStream> FStream;
  std::unique_ptr<uint8_t[]> FSharedOutput;
  std::atomic<bool> FLockExists{false};  // also read without FStateLock
  // Always constructed; "exists" is FLockExists, so a thread still holding it after the last
  // Uninit can release it safely.
  std::recursive_mutex FDecoderLock;
};

}  // namespace kyv
