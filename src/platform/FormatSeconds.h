#pragma once

#include <cstdint>
#include <string>

namespace kyv {

// hh:mm:ss, each part at least two digits; hours above 99 take more.
std::string FormatSeconds(uint32_t seconds);

}  // namespace kyv
