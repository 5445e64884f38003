#pragma once

#include <string_view>
#include <vector>

namespace kyv {

// The lines of Text, split at CR LF, LF or a lone CR; a last line without an end counts too, an
// end at the very end adds no empty line. Any thread.
std::vector<std::string_view> SplitLines(std::string_view Text);

}  // namespace kyv
