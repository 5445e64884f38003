#include "platform/System.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kyv {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string HostProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof path)) return {};
  return std::string(path, static_cast<size_t>(n));
}

void OutputDebugString(std::string_view text) {
  // One write per line keeps lines of different threads whole.
  static std::mutex lock;
  std::lock_guard guard(lock);
  std::fprintf(stderr, "[kyvplayer] %.*s\n", static_cast<int>(text.size()), text.data());
}

uint16_t SystemDefaultLangID() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("zh_CN") ? kLangChinesePrc : kLangEnglishUs;
  }
  return kLangEnglishUs;
}

}  // namespace kyv
