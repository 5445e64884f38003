#include "platform/CacheFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Errors.h"

namespace kyv {
namespace {

constexpr mode_t kPrivate = 0700;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr)
    return found->pw_dir;
  return {};
}

// Makes every missing folder of Path, each private; existing ones are left as they are.
bool MakeFolders(const std::string& Path) {
  for (size_t slash = Path.find('/', 1);; slash = Path.find('/', slash + 1)) {
    const std::string part = Path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), kPrivate) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// Opens the folder Name (in Parent, or a path when Parent is AT_FDCWD) without following a
// symbolic link, and accepts it only when it is a folder of ours; takes away what others may do
// with it. -1 when refused.
int OpenOwnFolder(int Parent, const char* Name) {
  const int fd = ::openat(Parent, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      ((info.st_mode & 077) != 0 && ::fchmod(fd, kPrivate) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

struct TFd {
  int Value;
  ~TFd() {
    if (Value >= 0) ::close(Value);
  }
};

}  // namespace

std::string CacheFolderPath() {
  std::string folder = Env("KYV_CACHE_DIR");
  if (folder.empty()) {
    const std::string xdg = Env("XDG_CACHE_HOME");
    // Relative values are invalid by the base directory rules and are ignored.
    if (!xdg.empty() && xdg.front() == '/') {
      folder = xdg + "/kyvplayer";
    } else {
      const std::string home = HomeFolder();
      if (home.empty()) return {};
      folder = home + "/.cache/kyvplayer";
    }
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + '/';
}

std::string CacheFolder() {
  const std::string folder = CacheFolderPath();
  const std::string shown =
      folder.empty() ? std::string("~/.cache/kyvplayer") : folder.substr(0, folder.size() - 1);
  const auto fail = [&shown]() -> std::string {
    throw EKyvError("Fail to create directory: " + shown);
  };
  if (folder.empty() || !MakeFolders(shown)) return fail();
  const TFd own{OpenOwnFolder(AT_FDCWD, shown.c_str())};
  if (own.Value < 0) return fail();
  if (::mkdirat(own.Value, "nails", kPrivate) != 0 && errno != EEXIST) return fail();
  const TFd nails{OpenOwnFolder(own.Value, "nails")};
  if (nails.Value < 0) return fail();
  return folder;
}

}  // namespace kyv
