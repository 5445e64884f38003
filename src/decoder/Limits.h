#pragma once

#include <cstddef>

namespace kyv {

// The longest frame record (header and payload) that any source accepts, from a file, a web
// server or a station. A longer one is damage, not a picture: no screen needs it, and taking
// the length on trust would let one header claim gigabytes.
inline constexpr size_t kMaxRecordBytes = size_t{64} << 20;

}  // namespace kyv
