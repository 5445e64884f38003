#pragma once

#include <string>
#include <string_view>

namespace kyv {

// The address as it goes on the wire: every character below 128 is kept as it is (so a space
// stays a space and "%41" stays "%41"), every other character becomes its UTF-8 bytes, each
// written as "%" and two upper-case hexadecimal digits. Address is in the locale's code set.
// Raises EKyvError with code reInvalidUrl for an empty address or a character that has no UTF-8
// form (a lone surrogate). Any thread.
std::string EscapeUrl(std::string_view Address);

}  // namespace kyv
