#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "source/Stream.h"

namespace kyv {

// A read-only stream over a recording on a web (or FTP) server: every Read is one GET for the
// byte range [position, position + count - 1] on the connection held since the last
// CloseHandles. Failures never leave Read: they are written to the global log and show as a
// short count, and the caller decides what a short read means.
//
// Threads: everything except Abort is called by the one reader thread that made the stream.
// Abort may be called from any thread while the stream lives; the owner keeps it alive (and
// guards its pointer) while another thread may call Abort.
//
// How a reader uses Abort: its Close calls Abort from the caller's thread before posting its
// stop message, so that a Read blocked on a silent server ends within about a second; the
// reader thread then calls CloseHandles while resetting, which drops the connection and makes
// the stream usable again. Until then every Read returns 0 at once.
class TInternetStream : public TStream {
 public:
  // Time limits of each request. A server that sends nothing for StallSeconds ends the request
  // as a failure; so does a connection not made within ConnectMs.
  struct TTimeouts {
    long ConnectMs = 10000;
    long StallSeconds = 15;
  };

  // No network traffic yet. Url is in the locale's code set; raises EAssertionFailed when it is
  // empty or cannot be split into host, port and path.
  explicit TInternetStream(std::string_view Url);
  ~TInternetStream() override;
  TInternetStream(const TInternetStream&) = delete;
  TInternetStream& operator=(const TInternetStream&) = delete;

  // Up to Count bytes from the position into Buffer; the position advances by the bytes placed.
  // Never writes past Buffer + Count, whatever the server sends.
  size_t Read(void* Buffer, size_t Count) override;
  // From the beginning or the current position; from the end raises EKyvError("Not Implement"),
  // and a position that would fall below 0 raises EKyvError too.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

  // Drops the connection (the next Read opens a new one) and clears an Abort.
  void CloseHandles();
  // Any thread: ends the running Read within about a second and makes later Reads return 0
  // until CloseHandles. Not logged as an error.
  void Abort() noexcept;
  bool Aborted() const noexcept { return FAborted.load(); }

  // Takes effect from the next request.
  void SetTimeouts(const TTimeouts& Timeouts);

  const std::string& Url() const noexcept { return FUrl; }
  const std::string& ServerName() const noexcept { return FServerName; }
  uint16_t ServerPort() const noexcept { return FServerPort; }
  const std::string& ObjectName() const noexcept { return FObjectName; }
  int64_t Position() const noexcept { return FPosition; }
  // Why the last request failed, as a person reads it ("HTTP 416 for bytes 4096-36863"); "" when
  // it succeeded or was aborted.
  const std::string& LastFailure() const noexcept { return FLastFailure; }

 private:
  struct TTransfer;

  // Makes the easy handle with the options every request shares; logs and returns false when
  // libcurl refuses.
  bool Connect();
  // Writes the outcome of a finished request to the log when it failed.
  void Report(int Result, const char* HeaderText);

  std::string FUrl;         // the address after EscapeUrl
  std::string FRequestUrl;  // FUrl with the characters libcurl refuses (space, controls) escaped
  std::string FServerName;
  uint16_t FServerPort = 0;  // the scheme's default when the address names none
  std::string FObjectName;   // path and query
  bool FFtp = false;
  int64_t FPosition = 0;
  TTimeouts FTimeouts;
  std::unique_ptr<TTransfer> FTransfer;  // the held connection and the running request's state
  std::atomic<bool> FAborted{false};
  std::string FLastFailure;  // written by Report
};

}  // namespace kyv
