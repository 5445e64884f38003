#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "source/Stream.h"
#include "source/TransferOptions.h"

namespace kyv {

// A read-only stream over a recording on a web (or FTP) server, read through GETs of byte ranges
// ("RANGE:bytes=a-b") on one connection kept alive until CloseHandles. Reads are served from
// two read-ahead buffers: a read the buffers cannot serve asks for a range at its position that
// starts small after a jump and grows (up to kMaxRange) while reading goes on forward, so a
// reader asking for small pieces costs few round trips, and a seek costs little. A range whose
// answer is still arriving when Read returns goes on arriving in the next Reads. Near the end of
// a file (an index) the range runs to the end. A server that ignores ranges and answers with the
// whole file is read forward from that answer; only a jump backwards asks again.
//
// Failures never leave Read: they are written to the global log and show as a short count, and
// the caller decides what a short read means.
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
  // Sizes of the ranges asked for: the first after a jump, growing four times per range while
  // reading goes forward. A read larger than the range asks for all it needs at once. The
  // first is about what a 10 Mbit/s link carries in a 100 ms round trip: asking for less
  // would save less transfer time than the round trip the next range costs.
  static constexpr size_t kFirstRange = 128 * 1024;
  static constexpr size_t kMaxRange = 1024 * 1024;
  // What each of the two read-ahead buffers holds.
  static constexpr size_t kBufferCapacity = kMaxRange;

  // Time limits of each request. A server that sends nothing for StallSeconds ends the request
  // as a failure; so does a connection not made within ConnectMs.
  using TTimeouts = TInternetTimeouts;

  // No network traffic yet. Url is in the locale's code set; raises EKyvError with code
  // reInvalidUrl when it is empty or cannot be split into host, port and path.
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

  // Drops the connection (the next Read opens a new one) and what was read ahead, and clears an
  // Abort.
  void CloseHandles();
  // Any thread: ends the running Read within about a second and makes later Reads return 0
  // until CloseHandles. Not logged as an error.
  void Abort() noexcept;
  bool Aborted() const noexcept { return FAborted.load(); }

  // Takes effect from the next request.
  void SetTimeouts(const TTimeouts& Timeouts);

  // The cause of the last failed request for a person ("HTTP 416 for bytes 4096-36863",
  // "connection refused", the web library's own text); empty until a request fails, and again
  // once a Read has delivered all it was asked for.
  const std::string& LastFailure() const noexcept { return FLastFailure; }

  const std::string& Url() const noexcept { return FUrl; }
  const std::string& ServerName() const noexcept { return FServerName; }
  uint16_t ServerPort() const noexcept { return FServerPort; }
  const std::string& ObjectName() const noexcept { return FObjectName; }
  int64_t Position() const noexcept { return FPosition; }

 private:
  struct TTransfer;
  struct TBuffer;

  // Makes the handles with the options every request shares; logs and returns false when
  // libcurl refuses.
  bool Connect();
  bool Buffered(int64_t Position) const;
  // Copies what the read-ahead buffers hold at the position; advances it.
  size_t TakeBuffered(uint8_t* Dest, size_t Count);
  // Whether the running request will bring the byte at Position without asking again.
  bool Reaches(int64_t Position) const;
  // Sends a request for a range at the position, at least Want bytes long; logs and returns
  // false when it cannot be sent.
  bool StartRequest(size_t Want);
  // Lets the running request end (when little of it is left) or drops it with its connection.
  void EndRequest();
  // Moves the running request on as far as the network allows without waiting.
  void Pump();
  // Waits a little for the network to move the running request on.
  void WaitForNetwork();
  // Writes the outcome of a finished request to the log and keeps its cause, when it failed.
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
