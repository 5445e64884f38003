#include "control/ColorText.h"

#include "platform/Errors.h"

namespace kyv {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t ParsePair(std::string_view Pair) {
  const int high = HexDigit(Pair[0]), low = HexDigit(Pair[1]);
  if (high < 0 || low < 0)
    throw EKyvError("'" + std::string(Pair) + "' is not a valid hexadecimal value");
  return static_cast<uint32_t>(high * 16 + low);
}

}  // namespace

std::string ColorText(uint32_t Color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "#";
  for (const int shift : {0, 8, 16}) {  // red, green, blue
    const uint32_t channel = (Color >> shift) & 0xFF;
    text += kDigits[channel >> 4];
    text += kDigits[channel & 0xF];
  }
  return text;
}

uint32_t ParseColorText(std::string_view Text) {
  if (Text.size() != 7) throw EKyvError("Unknown color format");
  const uint32_t red = ParsePair(Text.substr(1, 2));
  const uint32_t green = ParsePair(Text.substr(3, 2));
  const uint32_t blue = ParsePair(Text.substr(5, 2));
  return red | green << 8 | blue << 16;
}

}  // namespace kyv
