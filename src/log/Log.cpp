#include "log/Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/System.h"

namespace kyv {

namespace {

namespace fs = std::filesystem;

// The longest a line waits for another process's lock on the day's file.
constexpr std::chrono::milliseconds kLockWait{500};

// True when Folder exists (made now if missing) and this process may create files in it.
bool UsableFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::is_directory(folder, error) && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string SystemMessage(int code) {
  return std::error_code(code, std::generic_category()).message();
}

// Closes a descriptor, which also releases its flock.
class TFileHandle {
 public:
  explicit TFileHandle(int fd) noexcept : FFd(fd) {}
  ~TFileHandle() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  int Get() const noexcept { return FFd; }
  // Closes now, so that a failure to close can be told.
  int Close() noexcept { return ::close(std::exchange(FFd, -1)); }

 private:
  int FFd;
};

void AppendLocked(const std::string& fileName, const std::string& line) {
  TFileHandle file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (file.Get() < 0)
    throw EKyvError("Cannot open file \"" + fileName + "\". " + SystemMessage(errno));
  // A process that holds the lock and hangs must not hang every other writer with it.
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK)
      throw EKyvError("Cannot lock file \"" + fileName + "\". " + SystemMessage(errno));
    if (std::chrono::steady_clock::now() >= deadline)
      throw EKyvError("Cannot lock file \"" + fileName + "\" within " +
                      std::to_string(kLockWait.count()) + " ms; the line is dropped");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(file.Get(), line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EKyvError("Cannot write file \"" + fileName + "\". " + SystemMessage(errno));
    done += static_cast<size_t>(n);
  }
  if (file.Close() != 0)
    throw EKyvError("Cannot write file \"" + fileName + "\". " + SystemMessage(errno));
}

}  // namespace

TLog::TLog(std::string_view Folder) {
  std::string folder(Folder);
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  FFolder = folder + "/Log";
  if (!UsableFolder(FFolder)) {
    // An installed program's folder is usually not writable by its users.
    const std::string fallback = FallbackFolder();
    if (!fallback.empty() && UsableFolder(fallback)) FFolder = fallback;
  }
  FExeName = fs::path(HostProgramPath()).filename().string();
}

std::string TLog::FallbackFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && *state != '\0') return std::string(state) + "/kyvplayer/Log";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.local/state/kyvplayer/Log";
  return {};
}

std::string TLog::FileName(const std::tm& Time) const {
  char name[32];
  std::snprintf(name, sizeof name, "/%04d-%02d-%02d.log", Time.tm_year + 1900, Time.tm_mon + 1,
                Time.tm_mday);
  return FFolder + name;
}

std::string TLog::FormatLine(std::string_view ExeName, const std::tm& Time, std::string_view Text) {
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", Time.tm_hour, Time.tm_min, Time.tm_sec);
  std::string line;
  line.reserve(ExeName.size() + Text.size() + 24);
  line.append(ExeName).append(" ---> ").append(clock).append(" ").append(Text).append("\r\n");
  return line;
}

void TLog::AddLine(std::string_view Text) noexcept {
  try {
    // Date and time come from one reading, so a record never lands in the wrong day's file.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::lock_guard guard(FLock);
    std::string lines;
    for (const std::string& text : FLimiter.Take(Text, timeGetTime()))
      lines += FormatLine(FExeName, local, text);
    if (!lines.empty()) AppendLocked(FileName(local), lines);
  } catch (const std::exception& error) {
    try {
      OutputDebugString(std::string("ERROR: TLog.AddLine -> ") + error.what());
    } catch (...) {
    }
  } catch (...) {
  }
}

TLog& GlobalLog() {
  // Never destroyed: a thread may still log while the process exits.
  static TLog* const log = [] {
    const char* dir = std::getenv("KYV_LOG_DIR");
    if (dir != nullptr && *dir != '\0') return new TLog(dir);
    std::string folder = fs::path(HostProgramPath()).parent_path().string();
    // Without the program's path the per-user folder is the only sensible place.
    if (folder.empty()) folder = fs::path(TLog::FallbackFolder()).parent_path().string();
    return new TLog(folder);
  }();
  return *log;
}

}  // namespace kyv
