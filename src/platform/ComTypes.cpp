#include "platform/ComTypes.h"

#include <cstdio>

namespace kyv {

namespace {

int HexDigit(char C) noexcept {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

// Reads Digits hexadecimal digits at Text[At]; false when one is not a digit.
bool ReadHex(std::string_view Text, size_t At, size_t Digits, uint64_t& Value) noexcept {
  Value = 0;
  for (size_t i = 0; i < Digits; ++i) {
    const int digit = HexDigit(Text[At + i]);
    if (digit < 0) return false;
    Value = Value * 16 + static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace

std::string GuidToString(const GUID& Guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(Guid.Data1), Guid.Data2, Guid.Data3, Guid.Data4[0],
                Guid.Data4[1], Guid.Data4[2], Guid.Data4[3], Guid.Data4[4], Guid.Data4[5],
                Guid.Data4[6], Guid.Data4[7]);
  return text;
}

std::optional<GUID> GuidFromString(std::string_view Text) {
  if (Text.size() != 38 || Text.front() != '{' || Text.back() != '}') return std::nullopt;
  if (Text[9] != '-' || Text[14] != '-' || Text[19] != '-' || Text[24] != '-') return std::nullopt;
  GUID guid;
  uint64_t value;
  if (!ReadHex(Text, 1, 8, value)) return std::nullopt;
  guid.Data1 = static_cast<uint32_t>(value);
  if (!ReadHex(Text, 10, 4, value)) return std::nullopt;
  guid.Data2 = static_cast<uint16_t>(value);
  if (!ReadHex(Text, 15, 4, value)) return std::nullopt;
  guid.Data3 = static_cast<uint16_t>(value);
  static constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (size_t i = 0; i < 8; ++i) {
    if (!ReadHex(Text, kByteAt[i], 2, value)) return std::nullopt;
    guid.Data4[i] = static_cast<uint8_t>(value);
  }
  return guid;
}

}  // namespace kyv
