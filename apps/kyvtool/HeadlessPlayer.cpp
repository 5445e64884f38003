#include "HeadlessPlayer.h"

#include <algorithm>

#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"

namespace kyv::tool {

THeadlessPlayer::THeadlessPlayer(std::string CacheFolder) : FCore(std::move(CacheFolder)) {
  SetListener({});
}

void THeadlessPlayer::SetListener(TListener Listener) {
  FListener = std::move(Listener);
  TPlayerCore::TEvents events;
  events.Dirty = FListener.Dirty;
  events.Marker = FListener.Marker;
  events.Position = FListener.Position;
  events.SourceError = [this](int Code) { FSourceError = Code; };
  events.End = [this] {
    FEnded = true;
    if (FListener.End) FListener.End();
  };
  FCore.SetEvents(std::move(events));
}

void THeadlessPlayer::Open(const std::string& Address, std::chrono::milliseconds Timeout) {
  Close();
  FCore.Open(Address);
  Pump(Timeout, [this] { return IsOpen(); });
  if (!IsOpen()) {
    Close();
    throw EKyvError("The source did not answer within " + std::to_string(Timeout.count()) +
                    " ms: " + FCore.Url());
  }
}

void THeadlessPlayer::Close() {
  FCore.Close();
  FEnded = false;
  FSourceError = 0;
}

void THeadlessPlayer::Play(int Speed) {
  TPlayThread* player = FCore.Player();
  if (player == nullptr) throw EKyvError("Play: no source is open");
  // The seek goes first: one made while playing resumes at normal speed.
  FCore.SeekLiveToNewest();
  player->RequestPlay();
  for (int speed = 1; speed < Speed; speed *= 2) player->RequestFastForward();
}

void THeadlessPlayer::RaiseSourceError(int Code, bool Opening) {
  throw EKyvError((Opening ? "cannot open " : "cannot go on playing ") + FCore.Url() + ": " +
                      DescribeReaderFailure(Code, FCore.FailureCause(Code)),
                  Code);
}

bool THeadlessPlayer::Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done) {
  const bool done = FCore.Pump(Timeout, [&] { return FSourceError != 0 || (Done && Done()); });
  if (FSourceError != 0) {
    const int code = FSourceError;
    const bool opening = !IsOpen();
    FSourceError = 0;
    // The reason is taken before a failed open frees the reader.
    try {
      RaiseSourceError(code, opening);
    } catch (...) {
      if (opening) Close();
      throw;
    }
  }
  return done;
}

void THeadlessPlayer::RenderAt(uint32_t Time, std::chrono::milliseconds Timeout) {
  if (FCore.Player() == nullptr) throw EKyvError("RenderAt: no source is open");
  // The seek's target as the play thread will see it: within the duration, and not before the
  // first key frame.
  const uint32_t duration = Context().Header.Duration;
  uint32_t target = Time;
  if (duration > 0) target = std::min(target, duration);
  const int64_t firstKey = Context().Index.FirstTime();
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
    if (FCore.LastHandled() != UM_DIRTY && FCore.LastHandled() != UM_POSITION) return false;
    TFramesBuffer& frames = Context().Frames;
    TFramesBuffer::TGuard guard(frames);
    const int32_t current = frames.CurrentIndex();
    if (current < 0 || current >= frames.Count()) return false;
    const uint32_t shown = frames.Items(current).Time();
    const bool last = current + 1 == frames.Count();
    const bool nextBeyond = !last && frames.Items(current + 1).Time() > target;
    const bool atEnd = (duration > 0 && shown >= duration) || (duration == 0 && !IsLive() && last);
    return shown <= target && (nextBeyond || atEnd);
  };

  if (!Player().RequestSeek(Time)) throw EKyvError("RenderAt: the play thread has ended");
  if (!Pump(Timeout, drawn))
    throw EKyvError("The picture at " + std::to_string(Time) + " ms was not drawn within " +
                    std::to_string(Timeout.count()) + " ms");
}

}  // namespace kyv::tool
