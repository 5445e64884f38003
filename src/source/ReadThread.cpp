#include "source/ReadThread.h"

#include <cstring>
#include <exception>
#include <utility>

#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/Errors.h"

namespace kyv {

namespace {

constexpr char kAbstractError[] = "Abstract error";

// The text block that UM_SEND_TEXT carries. Whoever holds the message owns it: PostText until the
// post succeeds, then the reader thread, which frees it after DoSendText, or the destructor for
// requests never handled.
std::unique_ptr<char[]> AdoptText(const TMessage& Message) {
  return std::unique_ptr<char[]>(reinterpret_cast<char*>(Message.WParam));
}

}  // namespace

TReadThread::TReadThread(TPlayContext& Context)
    : FContext(Context), FBuffer(new uint8_t[kInitialBufferSize]) {}

TReadThread::~TReadThread() {
  // The owner's TThreadPtr has joined already; this covers a reader deleted some other way.
  StopAndWait();
  DropWaitingTexts();
}

void TReadThread::Open(const std::string& Address, const std::string& Params) {
  {
    std::lock_guard lock(FTextLock);
    FAddress = Address;
    FParams = Params;
    FLastFailure = {};
  }
  FStopping.store(false, std::memory_order_release);
  SafePostThreadMessage(*this, UM_OPEN);
}

void TReadThread::Read(int64_t Time) {
  SafePostThreadMessage(*this, UM_READ, static_cast<WPARAM>(static_cast<LPARAM>(Time)));
}

void TReadThread::Seek(int64_t Time) {
  if (Time < 0 || Time > int64_t{UINT32_MAX})
    throw EKyvError("Seek time out of range: " + std::to_string(Time));
  SafePostThreadMessage(*this, UM_SEEK, static_cast<WPARAM>(Time));
}

bool TReadThread::Close() {
  FStopping.store(true, std::memory_order_release);
  Abort();
  uint64_t ticket;
  {
    std::lock_guard lock(FStopLock);
    ticket = ++FStopsRequested;
  }
  if (!SafePostThreadMessageFor(*this, kStopLimitMs, UM_STOP)) return Finished();
  const bool stopped = WaitBounded(kStopLimitMs, [&](std::chrono::milliseconds slice) {
    std::unique_lock lock(FStopLock);
    return FStopChanged.wait_for(lock, slice, [&] { return FStopsDone >= ticket || FEnded; });
  });
  if (!stopped)
    LogFailure("The reader of \"" + Address() + "\" did not stop within " +
               std::to_string(kStopLimitMs) + " ms; it is left to end on its own");
  return stopped;
}

void TReadThread::PostText(std::string_view Text) {
  if (Text.empty()) return;
  std::unique_ptr<char[]> block(new char[Text.size()]);
  std::memcpy(block.get(), Text.data(), Text.size());
  if (SafePostThreadMessage(*this, UM_SEND_TEXT, reinterpret_cast<WPARAM>(block.get()),
                            static_cast<LPARAM>(Text.size())))
    static_cast<void>(block.release());  // the reader thread owns it now
}

uint64_t TReadThread::BitRate() {
  std::lock_guard lock(FStatsLock);
  const uint32_t now = timeGetTime();
  // The difference is taken modulo 2^32, so the rate stays right across the clock's wrap.
  const uint32_t elapsed = now - FStartTime;
  if (elapsed == 0) return 0;
  const uint64_t rate = FBytesReceived * 8 / elapsed;
  FStartTime = now;
  FBytesReceived = 0;
  return rate;
}

std::string TReadThread::Reply() const {
  std::lock_guard lock(FTextLock);
  return FReply;
}

TSourceFailure TReadThread::LastFailure() const {
  std::lock_guard lock(FTextLock);
  return FLastFailure;
}

void TReadThread::NoteFailure(int Code, std::string Cause) {
  TSourceFailure failure{Code, ReaderErrorText(Code), std::move(Cause)};
  GlobalLog().AddLine(failure.Cause.empty() ? failure.Text : failure.Text + ": " + failure.Cause);
  std::lock_guard lock(FTextLock);
  FLastFailure = std::move(failure);
}

std::string TReadThread::Address() const {
  std::lock_guard lock(FTextLock);
  return FAddress;
}

std::string TReadThread::Params() const {
  std::lock_guard lock(FTextLock);
  return FParams;
}

void TReadThread::SetReply(std::string Reply) {
  std::lock_guard lock(FTextLock);
  FReply = std::move(Reply);
}

void TReadThread::Execute() {
  {
    std::lock_guard lock(FStatsLock);
    FStartTime = timeGetTime();
    FBytesReceived = 0;
  }
  // Whatever ends the loop, a waiting Close must be released.
  struct TAnnounceEnd {
    TReadThread& Self;
    ~TAnnounceEnd() {
      {
        std::lock_guard lock(Self.FStopLock);
        Self.FEnded = true;
      }
      Self.FStopChanged.notify_all();
    }
  } announceEnd{*this};

  TMessage message;
  while (Queue().Get(message)) Dispatch(message);
}

void TReadThread::Dispatch(const TMessage& Message) {
  try {
    switch (Message.Msg) {
      case UM_OPEN:
        DoOpen();
        break;
      case UM_READ:
        DoRead(static_cast<int64_t>(static_cast<LPARAM>(Message.WParam)));
        break;
      case UM_SEEK:
        DoSeek(static_cast<uint32_t>(Message.WParam));
        break;
      case UM_STOP: {
        try {
          DoReset();
        } catch (const std::exception& e) {
          LogFailure(e.what());
        }
        {
          std::lock_guard lock(FStopLock);
          ++FStopsDone;
        }
        FStopChanged.notify_all();
        break;
      }
      case UM_SEND_TEXT:
        HandleSendText(Message);
        break;
      default:
        break;  // not a reader request
    }
  } catch (const std::exception& e) {
    LogFailure(e.what());
  } catch (...) {
    LogFailure("unknown failure in a reader thread");
  }
}

void TReadThread::HandleSendText(const TMessage& Message) {
  const std::unique_ptr<char[]> text = AdoptText(Message);
  const size_t length = Message.LParam > 0 ? static_cast<size_t>(Message.LParam) : 0;
  try {
    DoSendText(std::string_view(text.get(), text ? length : 0));
  } catch (const std::exception& e) {
    LogFailure(e.what());
  }
  // A live source goes back to receiving, also while it waits for its first key frame; the
  // request ended its receive loop.
  if (State() != rsIdle) Queue().Post(UM_READ, static_cast<WPARAM>(LPARAM{-1}));
}

void TReadThread::DropWaitingTexts() {
  TMessage message;
  while (Queue().Peek(message, UM_SEND_TEXT, UM_SEND_TEXT, true)) AdoptText(message);
}

void TReadThread::LogFailure(std::string_view Text) noexcept {
  GlobalLog().AddLine(Text);
}

bool TReadThread::RequestWaiting() {
  TMessage message;
  return Queue().Peek(message, 0, 0, false);
}

void TReadThread::AddBytesReceived(uint64_t Count) {
  std::lock_guard lock(FStatsLock);
  FBytesReceived += Count;
}

void TReadThread::DoOpen() {
  throw EKyvError(kAbstractError);
}
void TReadThread::DoRead(int64_t) {
  throw EKyvError(kAbstractError);
}
void TReadThread::DoSeek(uint32_t) {
  throw EKyvError(kAbstractError);
}
void TReadThread::DoReset() {
  throw EKyvError(kAbstractError);
}
void TReadThread::DoSendText(std::string_view) {
  throw EKyvError(kAbstractError);
}
void TReadThread::DoPictureSize(uint16_t, uint16_t) {}
void TReadThread::DoError(int) {}
void TReadThread::DoFrame(TFrameRecord&) {}
void TReadThread::DoIndexText(std::string_view) {}
void TReadThread::DoScriptText(std::string_view) {}
void TReadThread::DoStringText(std::string_view) {}

}  // namespace kyv
