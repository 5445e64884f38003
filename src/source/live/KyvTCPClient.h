#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "source/ReadThread.h"
#include "source/live/StationMessageFramer.h"
#include "source/live/WakeUpDescriptor.h"

namespace kyv {

// The reader of a live broadcast over TCP ("kyvs://host[:port]/channel"): it connects to the
// station, logs in, asks for the stream and hands each received message to a hook: frame
// records to DoFrame from the first key frame that a picture can be made from on (that one also
// to DoPictureSize; frames before it, and key frames the picture rules refuse, are dropped with
// a log line), texts to DoIndexText, DoScriptText and DoStringText, failures as a reader code to
// DoError (3 no connection, 4 refused, 7 network or protocol failure or a message left
// incomplete for kMessageTimeoutMs, 8 no host or a channel with a line break, 12 host not
// resolved), with the reason in LastFailure. It also carries texts to the station: "NOOP" every
// 200 ms while idle, and what PostText is given.
//
// Threads. The socket, the framer and every Do... operation belong to the reader thread. Its
// waits are poll()s on the socket and a wake-up descriptor that every post to the reader's
// queue and Abort (Close's first step) signal, so requests are served at once and a blocked
// connect, send or receive ends as soon as Close asks. The host name is looked up on a helper
// thread (THostResolver), so that Close need not wait for a slow name server either. The station
// information is written by the reader thread and read by any thread under FInfoLock. Made with
// TThread::Create; the TThreadPtr stops and joins the thread before the object goes.
class TKyvTCPClient : public TReadThread {
 public:
  static constexpr uint16_t kDefaultPort = 1804;
  // The longest text that SendText accepts.
  static constexpr size_t kMaxTextLength = 0x8000;
  static constexpr uint32_t kKeepAliveMs = 200;
  // A station that has not accepted, answered the login or taken a text within these times is
  // given up on (codes 3, 7 and 7).
  static constexpr uint32_t kConnectTimeoutMs = 10000;
  static constexpr uint32_t kReplyTimeoutMs = 10000;
  static constexpr uint32_t kSendTimeoutMs = 10000;
  // A message begun and not finished within this long without a byte ends the connection (7).
  static constexpr uint32_t kMessageTimeoutMs = 30000;
  // The longest single wait, so that time-outs follow the platform clock (which tests move by
  // hand) closely.
  static constexpr uint32_t kMaxWaitMs = 50;

  explicit TKyvTCPClient(TPlayContext& Context);
  ~TKyvTCPClient() override;

  // Any thread: what the last open learnt from the address and the station's reply.
  std::string Channel() const;
  std::string Host() const;
  std::string HostAddress() const;
  uint16_t Port() const;
  std::string Title() const;
  std::string Author() const;
  std::string Copyright() const;
  std::string Description() const;
  // Any thread: the receive buffer's size; it grows to the largest message and never shrinks.
  size_t ReceiveBufferSize() const noexcept { return FReceiveBufferSize.load(); }

 protected:
  void DoOpen() override;
  // The receive loop; it returns when another request waits, and ends the connection with a
  // code on a failure.
  void DoRead(int64_t Time) override;
  // A live stream cannot seek: this just goes on receiving.
  void DoSeek(uint32_t Time) override;
  void DoReset() override;
  // Sends Text when connected. A text above kMaxTextLength is refused (EKyvError) and the
  // connection kept; a failing send ends the connection with code 7.
  void DoSendText(std::string_view Text) override;
  // Here: takes the station information out of the login reply.
  void DoPictureSize(uint16_t Width, uint16_t Height) override;
  // Reader thread: called on every idle pass of the receive loop.
  virtual void DoIdle() {}
  void Abort() override;

  // Reader thread: sends Text as one mtString message. Raises EKyvError: an empty text is an
  // assertion failure, a text above kMaxTextLength is refused before anything is sent, and a
  // failing or timed-out send names the system's error number.
  void SendText(std::string_view Text);

 private:
  std::string Resolve(const std::string& HostName);
  void Connect(const std::string& Address, uint16_t PortNumber);
  void Login();
  std::string ReceiveReply();
  void ParseStationInfo();
  // Receives what is waiting into the framer; 0 when nothing is. Raises EKyvError when the
  // station has closed the connection or the receive fails.
  size_t ReceiveSome();
  void HandleMessages();
  void HandleFrame(std::span<const uint8_t> Payload);
  // True when a request waits that the message loop must handle; waiting UM_READ requests and
  // messages that no reader handles are dropped on the way.
  bool RequestPending();
  // True when Close or the end of the thread asks the current operation to stop.
  bool Interrupted() const noexcept { return Stopping() || Terminated(); }
  // Milliseconds to wait now: what is left of Limit since Start, at most kMaxWaitMs.
  static int WaitSlice(uint32_t Start, uint32_t Limit);
  // Ends the connection after a failure with Code and reports it unless stopping.
  void Fail(int Code, const std::string& Detail);
  void CloseSocket() noexcept;

  TWakeUpDescriptor FWake;
  int FSocket = -1;               // reader thread only
  TStationMessageFramer FFramer;  // reader thread only
  std::atomic<size_t> FReceiveBufferSize{0};

  mutable std::mutex FInfoLock;
  std::string FChannel;           // guarded by FInfoLock
  std::string FHost;              // guarded by FInfoLock
  std::string FHostAddress;       // guarded by FInfoLock
  uint16_t FPort = kDefaultPort;  // guarded by FInfoLock
  std::string FTitle;             // guarded by FInfoLock
  std::string FAuthor;            // guarded by FInfoLock
  std::string FCopyright;         // guarded by FInfoLock
  std::string FDescription;       // guarded by FInfoLock
};

}  // namespace kyv
