#pragma once

#include <cstdint>

#include "decoder/DecoderExports.h"

namespace kyv {

// The library's own way into the decoder exports: the same entry points, with a failure raised
// as EKyvError carrying the decoder's message.

int32_t UnZip(const void* src, int32_t srcLen, int16_t kind, void* dest, int32_t destSize);
// Decodes into dest, or into the shared output buffer when dest is null (dest then points at it);
// the caller holds a TDecoderLock while it uses that buffer.
int32_t UnZipEx(const void* src, int32_t srcLen, int16_t kind, void*& dest, int32_t destSize);

// Holds the decoder lock for its lifetime.
class TDecoderLock {
 public:
  TDecoderLock();  // raises EKyvError when the decoder was not initialised
  ~TDecoderLock() { UnlockDecoder(); }
  TDecoderLock(const TDecoderLock&) = delete;
  TDecoderLock& operator=(const TDecoderLock&) = delete;
};

// One InitDecoder / UninitDecoder pair, for the owner of a player or a tool.
class TDecoderUsage {
 public:
  TDecoderUsage();  // raises EKyvError when the decoder cannot be initialised
  ~TDecoderUsage() { UninitDecoder(); }
  TDecoderUsage(const TDecoderUsage&) = delete;
  TDecoderUsage& operator=(const TDecoderUsage&) = delete;
};

}  // namespace kyv
