#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextLines.h"  // SplitLines, which the login exchange uses too

namespace kyv {

// Texts of the station's login exchange. Pure functions: any thread.

// The value of the first "Name=Value" line of Text whose name equals Name but for the case of
// ASCII letters: everything after the first "=", unchanged. nullopt when no line has the name.
std::optional<std::string> FindLineValue(std::string_view Text, std::string_view Name);

}  // namespace kyv
