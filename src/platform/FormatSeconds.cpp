#include "platform/FormatSeconds.h"

#include <cstdio>

namespace kyv {

std::string FormatSeconds(uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60,
                seconds % 60);
  return text;
}

}  // namespace kyv
