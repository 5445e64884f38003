#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// The decoders behind UnZipBuffer, one per compression kind that needs more than a copy. Each
// writes a bitmap file image into dest (at most destSize bytes) and raises EKyvError with the
// decoder's message on failure.

// JPEG: a 24-bit top-down image whose first scanline is the bottom row. Takes the decoder lock.
int32_t DecodeJpeg(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize);

// zlib: returns the decoded image's bfSize.
int32_t DecodeZlib(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize);

// LZO1X, bounded by destSize: the bytes written, or -1 when the end marker does not end the
// input.
int32_t DecodeLzo(const uint8_t* src, size_t srcLen, uint8_t* dest, size_t destSize);

}  // namespace kyv
