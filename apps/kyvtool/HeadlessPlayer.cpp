#include "HeadlessPlayer.h"

#include <algorithm>

#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "source/Address.h"
#include "source/FileThread.h"
#include "source/UserMessages.h"
#include "source/live/KyvStream.h"
#include "source/multicast/KyvMulticastStream.h"

namespace kyv::tool {

namespace {

using Clock = std::chrono::steady_clock;

TRect UnpackDirty(const TMessage& m) {
  const auto w = static_cast<uint32_t>(m.WParam);
  const auto l = static_cast<uint32_t>(m.LParam);
  return {static_cast<int>(w >> 16), static_cast<int>(w & 0xFFFF), static_cast<int>(l >> 16),
          static_cast<int>(l & 0xFFFF)};
}

}  // namespace

THeadlessPlayer::THeadlessPlayer(std::string CacheFolder) : FCacheFolder(std::move(CacheFolder)) {
  FContext.Wnd = FWindow.Handle();
}

THeadlessPlayer::~THeadlessPlayer() {
  Close();
}

void THeadlessPlayer::Open(const std::string& Address, std::chrono::milliseconds Timeout) {
  Close();
  const std::string address = NormalizeAddress(Address);
  switch (ChooseReader(address)) {
    case rkLiveTcp:
      FReader = TThread::Create<TKyvStream>(FContext);
      FLive = true;
      break;
    case rkMulticastLocal:
      FReader = TThread::Create<TKyvMulticastStream>(FContext);
      FLive = true;
      break;
    case rkMulticastRemote:
      throw EKyvError("A multicast description on a web server must be downloaded first: " +
                      address);
    case rkFile:
      FReader = TThread::Create<TFileThread>(FContext);
      FLive = false;
      break;
  }
  FContext.Reader.store(FReader.get(), std::memory_order_release);
  FAddress = address;
  FReader->Open(address);
  Pump(Timeout, [this] { return FOpened; });
  if (!FOpened) {
    Close();
    throw EKyvError("The source did not answer within " + std::to_string(Timeout.count()) +
                    " ms: " + address);
  }
}

void THeadlessPlayer::CreatePlayer() {
  FPlayer = TThread::Create<TPlayThread>(FContext, FCacheFolder);
  FPlayer->SetCacheKeyFrames(false);
  FContext.Player.store(FPlayer.get(), std::memory_order_release);
  FContext.PlayerThread.store(FPlayer.get(), std::memory_order_release);
}

void THeadlessPlayer::Close() {
  // The play thread's stop also stops the reader, so neither produces anything afterwards.
  if (FPlayer) FPlayer->RequestStop();
  if (FReader) FReader->Close();
  FContext.PlayerThread.store(nullptr, std::memory_order_release);
  FContext.Player.store(nullptr, std::memory_order_release);
  // The play thread ends first and its object stays until the reader, which may still be
  // posting to it, is gone; then neither can reach the other after it is freed.
  if (FPlayer) FPlayer->StopAndWait();
  FContext.Reader.store(nullptr, std::memory_order_release);
  FReader.reset();
  FPlayer.reset();
  FContext.Reset();
  // What the closed source still posted means nothing now.
  TMessage stale;
  while (FWindow.Queue().Peek(stale)) {
  }
  FOpened = FEnded = FLive = false;
  FSourceError = 0;
  FDirty = {};
}

void THeadlessPlayer::Play(int Speed) {
  if (!FPlayer) throw EKyvError("Play: no source is open");
  // A live picture starts with the newest frame received, not with the oldest held. The seek
  // goes first: one made while playing resumes at normal speed.
  if (FLive) FPlayer->RequestSeek(FContext.Frames.LastTime());
  FPlayer->RequestPlay();
  for (int speed = 1; speed < Speed; speed *= 2) FPlayer->RequestFastForward();
}

void THeadlessPlayer::RaiseSourceError(int Code, bool Opening) {
  // The reader's reason, when it is the one behind this code.
  std::string cause;
  if (FReader) {
    const TSourceFailure failure = FReader->LastFailure();
    if (failure.Code == Code) cause = failure.Cause;
  }
  throw EKyvError((Opening ? "cannot open " : "cannot go on playing ") + FAddress + ": " +
                      DescribeReaderFailure(Code, cause),
                  Code);
}

void THeadlessPlayer::Handle(const TMessage& Message) {
  FLastHandled = Message.Msg;
  switch (Message.Msg) {
    case UM_OPENED:
      // Any other value than 0 is the code of a failed open.
      if (Message.WParam != 0) {
        FSourceError = static_cast<int>(Message.WParam);
        break;
      }
      if (!FPlayer) CreatePlayer();
      FOpened = true;
      break;
    case UM_SOURCE_ERROR:
      FSourceError = static_cast<int>(Message.WParam);
      break;
    case UM_DIRTY: {
      // Changed areas still waiting are drawn together, as a screen would.
      FDirty = UnionRect(FDirty, UnpackDirty(Message));
      TMessage next;
      while (FWindow.Queue().Peek(next, UM_DIRTY, UM_DIRTY, true))
        FDirty = UnionRect(FDirty, UnpackDirty(next));
      if (!FDirty.IsEmpty() && FListener.Dirty) FListener.Dirty(FDirty);
      FDirty = {};
      break;
    }
    case UM_MARKER:
      if (FListener.Marker) FListener.Marker();
      break;
    case UM_POSITION:
      if (FListener.Position) FListener.Position(static_cast<uint32_t>(Message.WParam));
      break;
    case UM_END:
      FEnded = true;
      if (FListener.End) FListener.End();
      break;
    default:
      break;
  }
}

bool THeadlessPlayer::Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done) {
  const auto deadline = Clock::now() + Timeout;
  for (;;) {
    TMessage message;
    while (FWindow.Queue().Peek(message)) {
      Handle(message);
      if (FSourceError != 0) {
        const int code = FSourceError;
        const bool opening = !FOpened;
        FSourceError = 0;
        // The reason is taken before a failed open frees the reader.
        try {
          RaiseSourceError(code, opening);
        } catch (...) {
          if (opening) Close();
          throw;
        }
      }
      if (Done && Done()) return true;
    }
    const auto now = Clock::now();
    if (now >= deadline) return false;
    FWindow.Queue().WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
  }
}

void THeadlessPlayer::RenderAt(uint32_t Time, std::chrono::milliseconds Timeout) {
  if (!FPlayer) throw EKyvError("RenderAt: no source is open");
  // The seek's target as the play thread will see it: within the duration, and not before the
  // first key frame.
  const uint32_t duration = FContext.Header.Duration;
  uint32_t target = Time;
  if (duration > 0) target = std::min(target, duration);
  const int64_t firstKey = FContext.Index.FirstTime();
  // No seek can reach a picture the index places after the end: the play thread would ignore it.
  if (duration > 0 && firstKey > int64_t{duration})
    throw EKyvError("The picture at " + std::to_string(Time) + " ms cannot be reached: " +
                        DescribeReaderFailure(reIndexInvalid, "the index starts at " +
                                                                  std::to_string(firstKey) +
                                                                  " ms, after the duration of " +
                                                                  std::to_string(duration) + " ms"),
                    reIndexInvalid);
  if (firstKey > int64_t{target}) target = static_cast<uint32_t>(firstKey);

  // What the workers posted before this seek belongs to earlier requests.
  Pump(std::chrono::milliseconds(0));
  // Done when the frame shown is the last one up to the target: the next one buffered lies
  // beyond it, or the source ends here. A replay up to the end of what is buffered so far is
  // not yet the picture; the reader brings the rest. Looked at after the messages that follow a
  // seek (changed area, position), which the play thread posts once it has drawn.
  const auto drawn = [&] {
    if (FLastHandled != UM_DIRTY && FLastHandled != UM_POSITION) return false;
    TFramesBuffer& frames = FContext.Frames;
    TFramesBuffer::TGuard guard(frames);
    const int32_t current = frames.CurrentIndex();
    if (current < 0 || current >= frames.Count()) return false;
    const uint32_t shown = frames.Items(current).Time();
    const bool last = current + 1 == frames.Count();
    const bool nextBeyond = !last && frames.Items(current + 1).Time() > target;
    const bool atEnd = (duration > 0 && shown >= duration) || (duration == 0 && !FLive && last);
    return shown <= target && (nextBeyond || atEnd);
  };

  if (!FPlayer->RequestSeek(Time)) throw EKyvError("RenderAt: the play thread has ended");
  if (!Pump(Timeout, drawn))
    throw EKyvError("The picture at " + std::to_string(Time) + " ms was not drawn within " +
                    std::to_string(Timeout.count()) + " ms");
}

}  // namespace kyv::tool
