#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kyv {

// The system's temporary folder with a trailing '/': $TMPDIR when set, else "/tmp/".
std::string TempFolder();

// This machine's name ("" when it cannot be read).
std::string ComputerName();

// Full path of the running program ("" when it cannot be read).
std::string HostProgramPath();

// One diagnostic line for a developer watching the process (stderr, with a prefix).
void OutputDebugString(std::string_view text);

// 2052 (Chinese, PRC) when the locale is zh_CN, else 1033 (English, United States).
inline constexpr uint16_t kLangChinesePrc = 2052;
inline constexpr uint16_t kLangEnglishUs = 1033;
uint16_t SystemDefaultLangID();

}  // namespace kyv
