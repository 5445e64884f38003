#include <cstdio>
#include <cstring>
#include <string>

#include "kyv/kyvcom.h"

namespace {

int HexDigit(char16_t C) noexcept {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  return -1;
}

// Digits hexadecimal digits at Text[At]; false when one is not a digit.
bool ReadHex(const OLECHAR* Text, size_t At, size_t Digits, uint32_t& Value) noexcept {
  Value = 0;
  for (size_t i = 0; i < Digits; ++i) {
    const int digit = HexDigit(Text[At + i]);
    if (digit < 0) return false;
    Value = Value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

}  // namespace

extern "C" {

int IsEqualGUID(REFGUID a, REFGUID b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
  if (lpsz == nullptr || pclsid == nullptr) return E_INVALIDARG;
  size_t length = 0;
  while (length < 39 && lpsz[length] != 0) ++length;
  if (length != 38 || lpsz[0] != u'{' || lpsz[37] != u'}') return CO_E_CLASSSTRING;
  if (lpsz[9] != u'-' || lpsz[14] != u'-' || lpsz[19] != u'-' || lpsz[24] != u'-')
    return CO_E_CLASSSTRING;
  GUID guid{};
  uint32_t value = 0;
  if (!ReadHex(lpsz, 1, 8, value)) return CO_E_CLASSSTRING;
  guid.Data1 = value;
  if (!ReadHex(lpsz, 10, 4, value)) return CO_E_CLASSSTRING;
  guid.Data2 = static_cast<uint16_t>(value);
  if (!ReadHex(lpsz, 15, 4, value)) return CO_E_CLASSSTRING;
  guid.Data3 = static_cast<uint16_t>(value);
  static constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (size_t i = 0; i < 8; ++i) {
    if (!ReadHex(lpsz, kByteAt[i], 2, value)) return CO_E_CLASSSTRING;
    guid.Data4[i] = static_cast<uint8_t>(value);
  }
  *pclsid = guid;
  return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < 39) return 0;
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(rguid.Data1), rguid.Data2, rguid.Data3, rguid.Data4[0],
                rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5],
                rguid.Data4[6], rguid.Data4[7]);
  for (int i = 0; i < 39; ++i) lpsz[i] = static_cast<OLECHAR>(text[i]);
  return 39;
}

}  // extern "C"
