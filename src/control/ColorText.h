#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kyv {

// The views' background colour as hosts write it: "#RRGGBB", hexadecimal, for a colour value
// 0x00BBGGRR. Letters come out in upper case.
std::string ColorText(uint32_t Color);

// Reads a colour text: exactly 7 characters, of which the first may be anything and the other
// six are the hexadecimal red, green and blue (either case). Raises EKyvError "Unknown color
// format" for another length, and one naming the pair for a pair that is not hexadecimal.
uint32_t ParseColorText(std::string_view Text);

}  // namespace kyv
