#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "XvfbDisplay.h"

namespace kyv::test {

inline constexpr int kDisplayWidth = 1280;
inline constexpr int kDisplayHeight = 1024;

// The display the test program runs on; not Started() when Xvfb could not start.
const TXvfbDisplay& Display();

// Handles Qt's events until Condition holds (true) or Timeout passes (false).
bool PumpUntil(const std::function<bool()>& Condition,
               std::chrono::milliseconds Timeout = std::chrono::seconds(10));

// Runs xdotool with Args on the display, handling Qt's events meanwhile; its exit status.
int XdoTool(const std::vector<std::string>& Args);

}  // namespace kyv::test
