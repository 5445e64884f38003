#include "decoder/DecoderState.h"

#include "decoder/DecoderMessages.h"
#include "platform/Errors.h"

namespace kyv {

namespace {
// How often this thread has entered the decoder lock and not yet left it.
thread_local int tHeldCount = 0;
}  // namespace

TDecoderState& TDecoderState::Instance() {
  static TDecoderState state;
  return state;
}

bool TDecoderState::Init() {
  std::lock_guard guard(FStateLock);
  ++FUsage;
  if (!FStream) FStream = std::make_unique<TSuperMemoryStream>();
  FLockExists.store(true);
  return FStream != nullptr && FLockExists.load();
}

void TDecoderState::Uninit() {
  std::lock_guard guard(FStateLock);
  // An unbalanced call must not push the count below zero, or the next pair would never free.
  if (FUsage == 0 || --FUsage != 0) return;
  FStream.reset();
  FSharedOutput.reset();
  FLockExists.store(false);
}

void TDecoderState::Lock() {
  if (!FLockExists.load()) throw EKyvError(kMsgNotInitialised);
  FDecoderLock.lock();
  ++tHeldCount;
}

void TDecoderState::Unlock() {
  if (tHeldCount == 0) {
    if (!FLockExists.load()) throw EKyvError(kMsgNotInitialised);
    throw EKyvError(kMsgLockNotHeld);
  }
  --tHeldCount;
  FDecoderLock.unlock();
}

TSuperMemoryStream& TDecoderState::Stream() {
  std::lock_guard guard(FStateLock);
  if (!FStream) throw EKyvError(kMsgNotInitialised);
  return *FStream;
}

uint8_t* TDecoderState::SharedOutput() {
  std::lock_guard guard(FStateLock);
  if (!FSharedOutput) FSharedOutput = std::make_unique_for_overwrite<uint8_t[]>(kMaxDecodedBytes);
  return FSharedOutput.get();
}

}  // namespace kyv
