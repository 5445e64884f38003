#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Messages.h"
#include "platform/Thread.h"
#include "store/FrameRecord.h"

namespace kyv {

struct TPlayContext;

// Where a reader's frames come from.
enum TSourceKind : uint8_t {
  skNone = 0,
  skLocalFile = 1,
  skWebFile = 2,
  skLiveTcp = 3,
  skMulticast = 4,
};

// The last failure a reader reported: its code, the code's text as the system writes it, and
// the reason behind it (the operating system's error, the web library's error, the HTTP status,
// the protocol rule broken). Code 0: none since the last Open.
struct TSourceFailure {
  int Code = 0;
  std::string Text;
  std::string Cause;
};

// What a reader is doing.
enum TReaderState : uint8_t {
  rsIdle = 0,
  rsWaitingKeyFrame = 1,  // opened, waiting for the first key frame (live sources)
  rsDelivering = 2,
};

// The base of every source of frames: a thread with its own message loop that the control and
// the play thread drive with UM_OPEN, UM_READ, UM_SEEK, UM_STOP and UM_SEND_TEXT, a receive
// buffer and the byte counter behind the bit rate. Descendants override the Do... operations,
// which run only on the reader thread. A failure escaping a Do... operation is written to the log
// and the loop goes on.
//
// Made with TThread::Create<Descendant>(context, ...); the TThreadPtr stops and joins the thread
// before the object goes.
class TReadThread : public TThread {
 public:
  static constexpr size_t kInitialBufferSize = 0x80000;
  // The longest Close waits for the reader to carry out its stop.
  static constexpr uint32_t kStopLimitMs = 5000;

  ~TReadThread() override;

  // Any thread: stores the texts, clears the stopping flag and asks for DoOpen.
  void Open(const std::string& Address, const std::string& Params = {});
  // Any thread: asks for DoRead from Time (ms), or -1 to go on from where the reader is.
  void Read(int64_t Time);
  // Any thread: asks for DoSeek to Time; a time outside 0 to 0xFFFFFFFF raises EKyvError.
  void Seek(int64_t Time);
  // Any thread but the reader's: sets the stopping flag, calls Abort, asks for DoReset and, when
  // the request was posted, waits until this Close's DoReset has run (or the thread has ended),
  // but no longer than kStopLimitMs of the platform clock: a reader stuck in a system call is
  // logged and left behind, and false returned.
  virtual bool Close();
  // Any thread: sends Text through DoSendText; an empty text posts nothing.
  void PostText(std::string_view Text);
  // Any thread: kilobits per second received since the previous call, which starts a new window;
  // 0, with nothing reset, when no millisecond has passed.
  uint64_t BitRate();

  // Any thread: counters for the status window.
  size_t BufferFill() const noexcept { return FBufferFill.load(std::memory_order_relaxed); }
  TSourceKind SourceKind() const noexcept { return FSourceKind.load(std::memory_order_acquire); }
  TReaderState State() const noexcept { return FState.load(std::memory_order_acquire); }
  bool Stopping() const noexcept { return FStopping.load(std::memory_order_acquire); }
  // Any thread: the station's login reply (live sources).
  std::string Reply() const;
  // Any thread: the failure behind the last UM_SOURCE_ERROR (or failed open) of this reader.
  TSourceFailure LastFailure() const;

 protected:
  explicit TReadThread(TPlayContext& Context);

  void Execute() override;

  // Reader thread. In this class the first five raise EKyvError "Abstract error", which the loop
  // logs; the live hooks do nothing, so a live client used without the control's subclass simply
  // drops what it would report.
  virtual void DoOpen();
  virtual void DoRead(int64_t Time);
  virtual void DoSeek(uint32_t Time);
  virtual void DoReset();
  virtual void DoSendText(std::string_view Text);
  virtual void DoPictureSize(uint16_t Width, uint16_t Height);
  virtual void DoError(int Code);
  virtual void DoFrame(TFrameRecord& Frame);
  virtual void DoIndexText(std::string_view Text);
  virtual void DoScriptText(std::string_view Text);
  virtual void DoStringText(std::string_view Text);

  // Close's thread, before UM_STOP is posted: ends a transfer that may be blocking the reader
  // thread (a network read). Must be safe against the reader thread using the same source.
  virtual void Abort() {}

  // Reader thread: true when a request waits in the queue (it stays there).
  bool RequestWaiting();
  // Reader thread: waits up to Timeout for a request; true when one waits.
  bool WaitForRequest(std::chrono::milliseconds Timeout) { return Queue().WaitFor(Timeout); }
  // Reader thread: counts received bytes for the bit rate.
  void AddBytesReceived(uint64_t Count);
  // Reader thread: the address and texts given to the last Open, as of its UM_OPEN.
  std::string Address() const;
  std::string Params() const;
  void SetReply(std::string Reply);
  // Reader thread: notes a failure before its code is reported, and writes Code's text with
  // the cause to the log.
  void NoteFailure(int Code, std::string Cause);

  void SetSourceKind(TSourceKind Kind) noexcept {
    FSourceKind.store(Kind, std::memory_order_release);
  }
  void SetState(TReaderState State) noexcept { FState.store(State, std::memory_order_release); }
  void SetBufferFill(size_t Fill) noexcept { FBufferFill.store(Fill, std::memory_order_relaxed); }

  TPlayContext& FContext;
  // Receive buffer: only the reader thread touches it. FBufferFill is atomic for the status
  // window, which only reads it.
  std::unique_ptr<uint8_t[]> FBuffer;
  size_t FBufferSize = kInitialBufferSize;

 private:
  void Dispatch(const TMessage& Message);
  void HandleSendText(const TMessage& Message);
  static void LogFailure(std::string_view Text) noexcept;
  // Frees the text blocks of UM_SEND_TEXT requests that were never handled.
  void DropWaitingTexts();

  std::atomic<size_t> FBufferFill{0};
  std::atomic<TSourceKind> FSourceKind{skNone};
  std::atomic<TReaderState> FState{rsIdle};
  std::atomic<bool> FStopping{false};

  mutable std::mutex FTextLock;
  std::string FAddress;         // guarded by FTextLock
  std::string FParams;          // guarded by FTextLock
  std::string FReply;           // guarded by FTextLock
  TSourceFailure FLastFailure;  // guarded by FTextLock

  std::mutex FStatsLock;
  uint32_t FStartTime = 0;      // guarded by FStatsLock
  uint64_t FBytesReceived = 0;  // guarded by FStatsLock

  // What Close waits for: the number of UM_STOP requests handled and the end of the thread,
  // announced to every waiting Close at once. Counting, rather than an auto-reset event, keeps a
  // signal left over from an earlier request from ending a later wait before its reset, and
  // never leaves one of two concurrent Close calls waiting for a signal the other took.
  std::mutex FStopLock;
  std::condition_variable FStopChanged;
  uint64_t FStopsRequested = 0;  // guarded by FStopLock
  uint64_t FStopsDone = 0;       // guarded by FStopLock
  bool FEnded = false;           // guarded by FStopLock
};

}  // namespace kyv
