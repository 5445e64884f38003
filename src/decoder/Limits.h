#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// The size limits that several layers must agree on, each defined once.

// The longest frame record (header and payload) that any source accepts, from a file, a web
// server or a station. A longer one is damage, not a picture: no screen needs it, and taking
// the length on trust would let one header claim gigabytes.
inline constexpr size_t kMaxRecordBytes = size_t{64} << 20;

// The most a payload may decode to: the decoder's shared output buffer, the play thread's and
// the picture-size probe's limit, and the largest still image read.
inline constexpr size_t kMaxDecodedBytes = size_t{10} << 20;

// The bitmap file image that a ckBitmap58 payload carries as it is.
inline constexpr size_t kBitmap58Bytes = 58;

static_assert(kMaxDecodedBytes <= INT32_MAX, "the decoder takes sizes as 32-bit integers");
static_assert(kMaxRecordBytes <= UINT32_MAX, "record lengths are 32-bit fields");

}  // namespace kyv
