#pragma once

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

#include "log/LineLimiter.h"

namespace kyv {

// The daily text log that every process of the computer shares: one file per local day,
// "yyyy-mm-dd.log", in a "Log" folder, one record line per AddLine, ended by CR LF, appended
// forever. Texts are written byte for byte as given, so the file is in the locale's code set like
// every text inside the system.
//
// Appends are serialised within the process by a mutex and across processes by an exclusive
// flock on the day's file, which the system releases even when a process dies holding it. A
// line waits at most half a second for another process's lock, then is dropped with a note on
// the debugger output. Repeated lines are rate-limited (TLineLimiter).
class TLog {
 public:
  // Logs into Folder's "Log" subfolder (one trailing '/' or '\' of Folder is dropped), made with
  // every missing parent. When it cannot be made or written, logs into FallbackFolder() instead.
  explicit TLog(std::string_view Folder);
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // Any thread: appends "<program> ---> hh:nn:ss <Text>" and CR LF to today's file. Never raises;
  // on failure the record is lost and the reason goes to the debugger output.
  void AddLine(std::string_view Text) noexcept;

  // The folder the files go to, without a trailing separator.
  const std::string& Folder() const noexcept { return FFolder; }
  // The file of the local day Time.
  std::string FileName(const std::tm& Time) const;

  // One record line for the program ExeName at local time Time.
  static std::string FormatLine(std::string_view ExeName, const std::tm& Time,
                                std::string_view Text);
  // The per-user log folder: $XDG_STATE_HOME/kyvplayer/Log, else
  // $HOME/.local/state/kyvplayer/Log; "" when neither variable is set.
  static std::string FallbackFolder();

 private:
  std::string FFolder;
  std::string FExeName;   // file name of the host program, without its folder
  std::mutex FLock;       // serialises the appends of this process
  TLineLimiter FLimiter;  // guarded by FLock
};

// The process's log, made at first use in the folder of the host program's executable, or in
// $KYV_LOG_DIR when that is set (its "Log" subfolder, by the same rules). It lives until the
// process ends, so threads may log at any moment.
TLog& GlobalLog();

}  // namespace kyv
