#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>

namespace kyv {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

// Reads an integer stored little-endian at p, whatever the host's byte order and alignment.
template <std::integral T>
T LoadLE(const void* p) noexcept {
  using U = std::make_unsigned_t<T>;
  const auto* b = static_cast<const uint8_t*>(p);
  U v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<U>(static_cast<U>(b[i]) << (8 * i));
  return static_cast<T>(v);
}

template <std::integral T>
void StoreLE(void* p, T value) noexcept {
  using U = std::make_unsigned_t<T>;
  auto* b = static_cast<uint8_t*>(p);
  const U v = static_cast<U>(value);
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace kyv
