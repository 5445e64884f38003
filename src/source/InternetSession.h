#pragma once

#include <functional>

#include "source/TransferOptions.h"

namespace kyv {

// The "internet handle" of a download thread: one libcurl easy handle (it keeps connections to a
// server alive between files) with what every download shares: the agent name, the proxies of the
// environment, the protocols allowed, the time limits, and a cancel test that libcurl asks at
// least once a second, also while a server sends nothing.
//
// Threads: made, used and freed by one thread; Cancelled is called on that thread.
class TInternetSession {
 public:
  // Cancelled: true ends the running transfer within about a second (may be empty).
  explicit TInternetSession(std::function<bool()> Cancelled = {}, TInternetTimeouts Timeouts = {});
  ~TInternetSession();
  TInternetSession(const TInternetSession&) = delete;
  TInternetSession& operator=(const TInternetSession&) = delete;

  // False when libcurl could not make or set up the handle.
  bool Opened() const { return FHandle != nullptr; }
  // The libcurl easy handle (CURL*), nullptr when not opened.
  void* Handle() const { return FHandle; }
  bool Cancelled() const { return FCancelled && FCancelled(); }

 private:
  void* FHandle = nullptr;
  std::function<bool()> FCancelled;
  void* FHeaders = nullptr;  // curl_slist of the headers every request sends
};

}  // namespace kyv
