#include "source/UrlEscape.h"

#include <cstdint>

#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "platform/TextCodec.h"

namespace kyv {
namespace {

// Writes code point's UTF-8 bytes into scratch; returns how many.
size_t EncodeUtf8(char32_t codePoint, uint8_t (&scratch)[8]) {
  if (codePoint < 0x800) {
    scratch[0] = static_cast<uint8_t>(0xC0 | (codePoint >> 6));
    scratch[1] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    scratch[0] = static_cast<uint8_t>(0xE0 | (codePoint >> 12));
    scratch[1] = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
    scratch[2] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  scratch[0] = static_cast<uint8_t>(0xF0 | (codePoint >> 18));
  scratch[1] = static_cast<uint8_t>(0x80 | ((codePoint >> 12) & 0x3F));
  scratch[2] = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
  scratch[3] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
  return 4;
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

EKyvError NoUtf8Form(std::string_view Address) {
  return EKyvError(
      "The address \"" + std::string(Address) + "\" holds a character with no UTF-8 form",
      reInvalidUrl);
}

}  // namespace

std::string EscapeUrl(std::string_view Address) {
  if (Address.empty()) throw EKyvError("An empty address cannot be requested", reInvalidUrl);
  const std::u16string wide = ToUtf16(Address);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(wide.size() * 3);
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c < 128) {
      result.push_back(static_cast<char>(c));
      continue;
    }
    char32_t codePoint = c;
    if (IsHighSurrogate(c)) {
      // A character beyond the basic plane arrives as a pair; it is one character of the
      // address and gets its one four-byte UTF-8 form.
      if (i + 1 >= wide.size() || !IsLowSurrogate(wide[i + 1])) throw NoUtf8Form(Address);
      codePoint = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                  (static_cast<char32_t>(wide[i + 1]) - 0xDC00);
      ++i;
    } else if (IsLowSurrogate(c)) {
      throw NoUtf8Form(Address);
    }
    uint8_t scratch[8];
    const size_t length = EncodeUtf8(codePoint, scratch);
    for (size_t k = 0; k < length; ++k) {
      result.push_back('%');
      result.push_back(kHex[scratch[k] >> 4]);
      result.push_back(kHex[scratch[k] & 0x0F]);
    }
  }
  return result;
}

}  // namespace kyv
