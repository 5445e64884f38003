#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kyv {

// Texts of the station's login exchange. Pure functions: any thread.

// The lines of Text, split at CR LF, LF or a lone CR; a last line without an end counts too.
std::vector<std::string_view> SplitLines(std::string_view Text);

// The value of the first "Name=Value" line of Text whose name equals Name but for the case of
// ASCII letters: everything after the first "=", unchanged. nullopt when no line has the name.
std::optional<std::string> FindLineValue(std::string_view Text, std::string_view Name);

}  // namespace kyv
