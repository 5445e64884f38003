#pragma once

#include <cstdint>
#include <vector>

namespace kyv {

// The cursor shown until a recording supplies its own: a 44 x 44 bitmap file image of 4 bits per
// pixel with the standard 16-colour palette, all transparent red except a black-edged white arrow
// whose tip is pixel (6, 0). Built once, on first use; any thread.
const std::vector<uint8_t>& BuiltinArrowImage();

inline constexpr int kArrowSize = 44;

}  // namespace kyv
