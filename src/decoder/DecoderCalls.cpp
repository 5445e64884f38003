#include "decoder/DecoderCalls.h"

#include "platform/Errors.h"

namespace kyv {

namespace {

void RaiseIfFailed() {
  if (const char* message = KyvDecoderLastError()) throw EKyvError(message);
}

}  // namespace

int32_t UnZip(const void* src, int32_t srcLen, int16_t kind, void* dest, int32_t destSize) {
  const int32_t result = UnZipBuffer(src, srcLen, kind, dest, destSize);
  RaiseIfFailed();
  return result;
}

int32_t UnZipEx(const void* src, int32_t srcLen, int16_t kind, void*& dest, int32_t destSize) {
  const int32_t result = UnZipBufferEx(src, srcLen, kind, &dest, destSize);
  RaiseIfFailed();
  return result;
}

TDecoderLock::TDecoderLock() {
  LockDecoder();
  RaiseIfFailed();
}

TDecoderUsage::TDecoderUsage() {
  if (!InitDecoder()) {
    RaiseIfFailed();
    throw EKyvError("InitDecoder failed");
  }
}

}  // namespace kyv
