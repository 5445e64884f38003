#include "play/PlayThread.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "log/Log.h"
#include "platform/CacheFolder.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Messages.h"
#include "platform/System.h"
#include "platform/TextCodec.h"
#include "platform/Window.h"
#include "source/ReadThread.h"

namespace kyv {

namespace {

// Empty for an empty folder: the per-user cache folder is then looked up (and made) only when a
// dump is written.
std::string DumpFileIn(std::string Folder) {
  if (Folder.empty()) return {};
  if (Folder.back() != '/' && Folder.back() != '\\') Folder += '/';
  return Folder + "dump.txt";
}

// Signals the sync event when the scope ends, however it ends, so that a waiting caller is never
// left behind by a failure.
struct TSignalOnExit {
  TEvent& Event;
  ~TSignalOnExit() { Event.Set(); }
};

}  // namespace

TPlayThread::TPlayThread(TPlayContext& Context, std::string CacheFolder)
    : FContext(Context), FHeader(Context.Header), FDumpFile(DumpFileIn(std::move(CacheFolder))) {
  FBackBuffer.SetSize(FHeader.Width, FHeader.Height);
}

TPlayThread::~TPlayThread() {
  // The thread draws into FBackBuffer and signals FSyncEvent: it ends before they go.
  StopAndWait();
}

// ---- Requests (control's thread) ----

bool TPlayThread::RequestSeek(uint32_t Time) {
  return SafePostThreadMessage(*this, UM_SEEK, Time);
}

bool TPlayThread::RequestPlay() {
  return SafePostThreadMessage(*this, UM_PLAY);
}

bool TPlayThread::RequestPause() {
  return RequestAndWait(UM_PAUSE, "pause");
}

bool TPlayThread::RequestStop() {
  return RequestAndWait(UM_STOP, "stop");
}

bool TPlayThread::RequestAndWait(UINT Msg, const char* What) {
  if (!SafePostThreadMessageFor(*this, kRequestLimitMs, Msg)) return false;
  // The thread signals when it has acted, or as it ends if it never got that far.
  const bool done = WaitBounded(kRequestLimitMs, [this](std::chrono::milliseconds slice) {
    return FSyncEvent.WaitFor(slice) || Finished();
  });
  if (!done)
    GlobalLog().AddLine(std::string("The play thread did not carry out a ") + What + " within " +
                        std::to_string(kRequestLimitMs) + " ms");
  return done;
}

bool TPlayThread::RequestFastForward() {
  return SafePostThreadMessage(*this, UM_FASTFORWARD);
}

bool TPlayThread::RequestRefresh() {
  return SafePostThreadMessage(*this, UM_REFRESH);
}

bool TPlayThread::RequestTrim() {
  return SafePostThreadMessage(*this, UM_TRIM, 1);
}

// ---- The thread body ----

void TPlayThread::Execute() {
  TSignalOnExit signal{FSyncEvent};
  TMessage message;
  while (Queue().Get(message)) {
    try {
      Dispatch(message);
    } catch (const std::exception& e) {
      GlobalLog().AddLine(e.what());
    }
  }
}

void TPlayThread::Dispatch(const TMessage& Message) {
  switch (Message.Msg) {
    case UM_SEEK: {
      // Only the last of the seeks waiting now is carried out.
      uint32_t target = static_cast<uint32_t>(Message.WParam);
      TMessage later;
      while (Queue().Peek(later, UM_SEEK, UM_SEEK, true))
        target = static_cast<uint32_t>(later.WParam);
      SeekTo(target);
      break;
    }
    case UM_REPLAY:
      HandleReplay(static_cast<int32_t>(static_cast<LPARAM>(Message.WParam)));
      break;
    case UM_STOP: {
      TSignalOnExit signal{FSyncEvent};
      SetState(psStopped);
      SetClock(0, 0);
      FLastSampleTime = 0;
      FRequestedKeyTime = -1;
      FReaderTarget.reset();
      ReaderClose();
      break;
    }
    case UM_PLAY:
      // A resume the thread posted itself gives way to a pause or stop that came meanwhile.
      if (Message.WParam == kResume && State() != psPlaying) break;
      FSpeed = 1;
      SetState(psPlaying);
      PlayLoop();
      break;
    case UM_PAUSE: {
      TSignalOnExit signal{FSyncEvent};
      SetState(psPaused);
      break;
    }
    case UM_FASTFORWARD:
      FSpeed = std::min(2 * FSpeed.load(), kMaxSpeed);
      SetState(psPlaying);
      PlayLoop();
      break;
    case UM_REFRESH:
      PostDirtyRect(true);
      if (State() == psPlaying) PlayLoop();
      break;
    default:
      break;  // including a trim outside the play loop
  }
}

// ---- Pacing ----

void TPlayThread::PlayLoop() {
  TFramesBuffer& frames = FContext.Frames;
  // While the reader reloads the buffer for a seek the loop waits for its answer, which resumes
  // playing; frames held now would belong to the buffer being replaced.
  if (FReaderTarget) return;
  uint32_t start = timeGetTime();
  const uint32_t speed = static_cast<uint32_t>(FSpeed.load());
  if (AtEnd()) {
    EndPlaying(start, speed);
    return;
  }
  bool held = false;
  uint64_t heldCuts = 0;  // the buffer's cuts when the held record was taken
  for (;;) {
    TMessage waiting;
    if (Queue().Peek(waiting, 0, 0, false)) {
      if (waiting.Msg != UM_TRIM) break;
      Queue().Peek(waiting, UM_TRIM, UM_TRIM, true);
      if (Trim()) held = false;
      continue;
    }
    const uint32_t elapsed = speed * (timeGetTime() - start);
    SetClock(BaseTime(), elapsed);

    if (!held) {
      heldCuts = frames.Cuts();
      if (!frames.PeekNext(FFrameBuf)) {
        // Nothing delivered to play: a recording's position waits with the picture rather than
        // run ahead of what the source has brought. A live picture keeps the station's pace.
        if (IsFileSource()) HoldPosition(start, elapsed);
        ReaderRead(-1);
        Queue().WaitFor(std::chrono::milliseconds(kUnderrunWaitMs));
        continue;
      }
      held = true;
    }

    const TFrameView frame = FFrameBuf.View();
    const uint32_t now = BaseTime() + elapsed;
    if (FShownCount.load(std::memory_order_relaxed) != 0 && frame.Time() > now) {
      // Due later: wait for it (or for a request), at most kMaxPaceWaitMs before looking again.
      const uint32_t due = (frame.Time() - now + speed - 1) / speed;
      Queue().WaitFor(std::chrono::milliseconds(std::min(due, kMaxPaceWaitMs)));
      continue;
    }

    {
      // A live reader keeping its budget may have cut the list since the record was taken: the
      // record then no longer follows the picture, and the loop takes the new first one.
      TFramesBuffer::TGuard list(frames);
      if (frames.Cuts() != heldCuts) {
        held = false;
        continue;
      }
      frames.SetCurrentIndex(frames.CurrentIndex() + 1);
    }
    RenderOrSkip(frame, true);
    // Set once drawn, so that whoever reads it finds that frame in the picture.
    FLastSampleTime.store(frame.Time(), std::memory_order_release);
    FShownCount.fetch_add(1, std::memory_order_relaxed);
    PostDirtyRect(false);
    held = false;

    // A recording ends with the frame at its duration; live sources (duration 0) never do. A
    // frame past the duration ends it too, so a header that understates it cannot leave the
    // player running on an empty buffer forever.
    const uint32_t duration = FContext.Header.Duration;
    const uint32_t shown = FLastSampleTime.load(std::memory_order_relaxed);
    if (duration != 0 && shown >= duration) {
      // Frames stamped with the same time complete the last picture before the end.
      heldCuts = frames.Cuts();
      if (frames.PeekNext(FFrameBuf) && FFrameBuf.View().Time() == shown) {
        held = true;
        continue;
      }
      EndPlaying(start, speed);
      return;
    }
  }
  SettlePosition(start, speed);
}

bool TPlayThread::AtEnd() {
  const uint32_t duration = FContext.Header.Duration;
  // A seek to the end leaves the last picture drawn and nothing to play: that is the end too.
  return duration != 0 && FShownCount.load(std::memory_order_relaxed) != 0 &&
         FLastSampleTime.load(std::memory_order_relaxed) >= duration &&
         !FContext.Frames.PeekNext(FFrameBuf);
}

void TPlayThread::EndPlaying(uint32_t Start, uint32_t Speed) {
  // Settled before the end is announced, so whoever hears it reads the final position.
  SettlePosition(Start, Speed);
  SetState(psStopped);
  PostToWindow(UM_END);
}

bool TPlayThread::Trim() {
  TFramesBuffer& frames = FContext.Frames;
  TFramesBuffer::TGuard list(frames);
  const int32_t lastKey = frames.LastKeyFrameIndex();
  if (lastKey >= 0 && lastKey <= frames.CurrentIndex()) {
    // Playing already within the last group: what came before it goes, the position stays.
    // Starting the group again would redraw it on every trim while its key frames are sparse.
    frames.DiscardPlayed(false);
    return false;
  }
  // Playback goes on from the last key frame; a frame held from before it would be out of order.
  frames.DiscardPlayed(true);
  return true;
}

void TPlayThread::HoldPosition(uint32_t& Start, uint32_t Elapsed) {
  const uint32_t base = BaseTime();
  const uint32_t limit = std::max(base, FLastSampleTime.load(std::memory_order_relaxed));
  SetBaseTime(std::min(base + Elapsed, limit));
  Start = timeGetTime();
}

void TPlayThread::SettlePosition(uint32_t Start, uint32_t Speed) {
  // The position stays where the clock is now, not where the last look at it left it.
  SetBaseTime(BaseTime() + Speed * (timeGetTime() - Start));
}

// ---- Rendering ----

void TPlayThread::RenderOrSkip(TFrameView Frame, bool AfterPlay) {
  try {
    RenderFrame(Frame, AfterPlay);
  } catch (const std::exception& e) {
    GlobalLog().AddLine("Frame at " + std::to_string(Frame.Time()) + " ms skipped: " + e.what());
  }
}

void TPlayThread::RenderFrame(TFrameView Frame, bool AfterPlay) {
  const TFrameHeader header = Frame.Header();
  {
    TDecoderLock decoder;
    const uint8_t* payload = header.DataSize > 0 ? Frame.Data().data() : nullptr;
    if (header.DataSize > static_cast<uint32_t>(INT32_MAX))
      throw EKyvError("Frame payload too large: " + std::to_string(header.DataSize) + " bytes");
    auto decode = [&](size_t& size) -> const uint8_t* {
      if (payload == nullptr) {
        size = 0;
        return nullptr;
      }
      void* dest = nullptr;
      const int32_t n = UnZipEx(payload, static_cast<int32_t>(header.DataSize), header.Compression,
                                dest, static_cast<int32_t>(kMaxDecodedBytes));
      // The 58-byte kind reports 0 although it wrote its whole image.
      size =
          header.Compression == ckBitmap58 ? kBitmap58Bytes : static_cast<size_t>(std::max(n, 0));
      return size > 0 ? static_cast<const uint8_t*>(dest) : nullptr;
    };

    switch (header.FrameType) {
      case ftXorRect:
      case ftCursor:
      case ftCopyRect: {
        size_t size = 0;
        const uint8_t* image = decode(size);
        DrawFrame(header, image, size);
        break;
      }
      case ftKeyFrame: {
        TKeyFramesBuffer::TGuard keys(FContext.KeyFrames);
        if (const TKeyFrameEntry* cached = FContext.KeyFrames.Find(header.Time)) {
          DrawFrame(header, cached->Image().data(), cached->Image().size());
          break;
        }
        size_t size = 0;
        const uint8_t* image = decode(size);
        if (image == nullptr)
          throw EKyvError("Key frame without a picture (" + std::to_string(header.DataSize) +
                          " payload bytes)");
        if (FCacheKeyFrames.load(std::memory_order_relaxed))
          FContext.KeyFrames.Store(header, {image, size});
        DrawFrame(header, image, size);
        break;
      }
      case ftMarker:
        PostToWindow(UM_MARKER);
        break;
      default:
        break;
    }
  }
  if (AfterPlay && FContext.Frames.IsFull()) {
    FContext.Frames.DiscardPlayed(false);
    ReaderRead(-1);
  }
}

void TPlayThread::DrawFrame(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize) {
  std::lock_guard picture(FBackBuffer);
  FBackBuffer.ApplyFrame(Header, Image, ImageSize);
}

void TPlayThread::PostDirtyRect(bool Whole) {
  TRect r;
  if (Whole)
    r = {0, 0, FContext.Header.Width, FContext.Header.Height};
  else
    FBackBuffer.GetDirtyRect(r, true);
  auto pack = [](int high, int low) {
    return static_cast<WPARAM>((static_cast<uint32_t>(high) << 16) | static_cast<uint32_t>(low));
  };
  PostToWindow(UM_DIRTY, pack(r.Left, r.Top), static_cast<LPARAM>(pack(r.Right, r.Bottom)));
}

// ---- Seeking ----

bool TPlayThread::InterruptWaiting() {
  TMessage waiting;
  return Queue().Peek(waiting, 0, UM_SEEK - 1, false) ||
         Queue().Peek(waiting, UM_SEEK + 1, UINT(-1), false);
}

void TPlayThread::ReplayRange(int32_t First, int32_t Last) {
  TFramesBuffer& frames = FContext.Frames;
  {
    TFramesBuffer::TGuard list(frames);
    const int32_t count = frames.Count();
    if (Last == -1) Last = count - 1;
    if (Last >= count || First < 0) return;
    // Cursor moves are passed over, as later frames move the cursor again; the last of them is
    // drawn at the end when no later frame placed the cursor, so it stands where playing leaves it.
    int32_t pendingMove = -1;
    for (int32_t i = First; i <= Last; ++i) {
      if (InterruptWaiting()) break;
      const TFrameView frame = frames.Items(i);
      frames.SetCurrentIndex(i);
      FLastSampleTime.store(frame.Time(), std::memory_order_release);
      if (frame.FrameType() == ftCursor && frame.DataSize() == 0) {
        pendingMove = i;
        continue;
      }
      RenderOrSkip(frame, false);
      const TFrameHeader h = frame.Header();
      if (h.FrameType == ftCursor || h.MouseX != 0 || h.MouseY != 0) pendingMove = -1;
    }
    if (pendingMove != -1) RenderOrSkip(frames.Items(pendingMove), false);
  }
  PostDirtyRect(false);
}

void TPlayThread::HandleReplay(int32_t Last) {
  if (FReaderTarget) {
    // Never past the target the reader was asked for, whatever it appended meanwhile.
    const int32_t upTo = LastIndexUpTo(*FReaderTarget);
    if (upTo >= 0 && (Last == -1 || Last > upTo)) Last = upTo;
  }
  ReplayRange(0, Last);
  const bool answered = FReaderTarget.has_value();
  const bool superseded = answered && *FReaderTarget != FSeekTarget;
  FReaderTarget.reset();
  FRequestedKeyTime = -1;
  // A seek made while the reader was loading goes where it was asked to go now.
  if (superseded) {
    SeekTo(FSeekTarget);
    return;
  }
  if (State() == psPlaying) PostToSelf(UM_PLAY, kResume);
}

void TPlayThread::SeekTo(uint32_t Time) {
  TFramesBuffer& frames = FContext.Frames;
  TIndexTable& index = FContext.Index;
  const bool playing = State() == psPlaying;

  if (index.IsEmpty()) {
    if (playing) PostToSelf(UM_PLAY, kResume);
    return;
  }
  if (FHeader.Duration > 0) Time = std::min(Time, FHeader.Duration);
  FSeekTarget = Time;
  // One look at the buffer: a reader must not clear or append between the lookups below.
  TFramesBuffer::TGuard list(frames);

  const int64_t key = index.TimeAtOrBefore(Time);
  if (FReaderTarget && IsFileSource()) {
    // The buffer is being replaced: the reader's answer carries the seek on (HandleReplay).
    SetBaseTime(Time);
    if (key != -1 && key != FRequestedKeyTime) {
      FRequestedKeyTime = key;
      ReaderSeek(Time);
    }
    PostToWindow(UM_POSITION, BaseTime());
    return;
  }

  const int32_t b = LastIndexAt(Time);
  const int32_t current = frames.CurrentIndex();
  // The position follows the seek in every state: a paused player resumes from where it was
  // asked to go, not from where it was before.
  if (current != -1 && b == current) {
    SetBaseTime(Time);
    if (playing) PostToSelf(UM_PLAY, kResume);
    PostToWindow(UM_POSITION, BaseTime());
    return;
  }

  if (key == -1) {
    const int64_t first = index.FirstTime();
    // An index that starts beyond the duration would bring the clamped target back here forever.
    if (FHeader.Duration > 0 && first > int64_t{FHeader.Duration}) {
      if (playing) PostToSelf(UM_PLAY, kResume);
      return;
    }
    PostToSelf(UM_SEEK, static_cast<WPARAM>(first));
    return;
  }
  const int32_t ki = KeyFrameIndex(static_cast<uint32_t>(key));

  // The position moves before the replay: a frame of the seek must never be seen drawn with
  // the position still where it was before.
  if (b != -1) {
    SetBaseTime(Time);
    if (index.TimeAtOrBefore(FLastSampleTime.load()) == key) {
      if (b > current)
        ReplayRange(current + 1, b);
      else
        ReplayRange(ki, b);
    } else if (ki != -1) {
      ReplayRange(ki, b);
    } else {
      ReportAbnormalBuffer(static_cast<uint32_t>(key), Time);
    }
    if (playing) PostToSelf(UM_PLAY, kResume);
    PostToWindow(UM_POSITION, BaseTime());
    return;
  }

  if (ki == -1) {
    SetBaseTime(Time);
    if (IsFileSource()) {
      // A repeated seek into the group that the reader is already loading asks nothing more.
      if (key != FRequestedKeyTime) {
        FRequestedKeyTime = key;
        ReaderSeek(Time);
        PostToWindow(UM_POSITION, BaseTime());
      }
    } else if (playing) {
      PostToSelf(UM_PLAY, kResume);
    }
    return;
  }

  // Render on from the picture shown when it belongs to this group; otherwise the group's key
  // frame must be drawn first, or the new group's changes would land on the old picture.
  const bool inGroup = frames.CurrentIndex() >= ki;
  if (!inGroup) frames.SetCurrentIndex(ki);
  frames.DiscardPlayed(false);
  SetBaseTime(Time);
  ReplayRange(inGroup ? frames.CurrentIndex() + 1 : frames.CurrentIndex(), -1);
  if (!IsFileSource()) {
    if (playing) PostToSelf(UM_PLAY, kResume);
    PostToWindow(UM_POSITION, FLastSampleTime.load());
  } else {
    ReaderRead(Time);
    PostToWindow(UM_POSITION, BaseTime());
  }
}

int32_t TPlayThread::LastIndexUpTo(uint32_t Time) {
  TFramesBuffer& frames = FContext.Frames;
  TFramesBuffer::TGuard list(frames);
  const int32_t count = frames.Count();
  if (count > 0 && frames.Items(count - 1).Time() <= Time) return count - 1;
  return LastIndexAt(Time);
}

int32_t TPlayThread::LastIndexAt(uint32_t Time) {
  TFramesBuffer& frames = FContext.Frames;
  TFramesBuffer::TGuard list(frames);
  int32_t found = frames.IndexOfTime(Time, false);
  if (found == -1) return -1;
  // Every frame stamped with the target's time belongs to its picture.
  const uint32_t time = frames.Items(found).Time();
  while (found + 1 < frames.Count() && frames.Items(found + 1).Time() == time) ++found;
  return found;
}

int32_t TPlayThread::KeyFrameIndex(uint32_t KeyTime) {
  TFramesBuffer& frames = FContext.Frames;
  TFramesBuffer::TGuard list(frames);
  uint32_t time = KeyTime;
  const int32_t found = frames.IndexOfTime(time, true);
  if (found == -1) return -1;
  // Frames often share their key frame's time, and the lookup by time may then land on one of
  // them; a replay must start at the key frame itself.
  const int32_t count = frames.Count();
  for (int32_t i = found; i >= 0 && frames.Items(i).Time() == KeyTime; --i)
    if (frames.Items(i).IsKeyFrame()) return i;
  for (int32_t i = found + 1; i < count && frames.Items(i).Time() == KeyTime; ++i)
    if (frames.Items(i).IsKeyFrame()) return i;
  return found;
}

void TPlayThread::ReportAbnormalBuffer(uint32_t KeyTime, uint32_t Target) {
  const TFramesBuffer& frames = FContext.Frames;
  const std::string line = "KyvPlayer.ocx -> Abnormal buffer：MinTimeStamp=" +
                           std::to_string(int32_t(frames.FirstTime())) +
                           ", DestKeyTime=" + std::to_string(int32_t(KeyTime)) +
                           ", msTime=" + std::to_string(int32_t(Target)) +
                           ", MaxTimeStamp=" + std::to_string(int32_t(frames.LastTime())) +
                           ", FCurrentIndex=" + std::to_string(frames.CurrentIndex()) +
                           ", FLastSampleTime=" + std::to_string(int32_t(FLastSampleTime.load()));
  try {
    GlobalLog().AddLine(FromUtf8(line));
  } catch (const std::exception&) {
    GlobalLog().AddLine(line);  // a code set without the colon still gets the numbers
  }
  try {
    frames.SaveToFile(FDumpFile.empty() ? DumpFileIn(CacheFolder()) : FDumpFile);
  } catch (const std::exception& e) {
    GlobalLog().AddLine(e.what());
  }
}

// ---- Talking to the others ----

void TPlayThread::PostToWindow(UINT Msg, WPARAM WParam, LPARAM LParam) {
  PostMessage(FContext.Wnd, Msg, WParam, LParam);
}

void TPlayThread::PostToSelf(UINT Msg, WPARAM WParam) {
  // The play thread cannot wait for itself; its own queue only refuses when hopelessly full.
  Queue().Post(Msg, WParam);
}

bool TPlayThread::IsFileSource() const {
  const TReadThread* reader = FContext.Reader.load(std::memory_order_acquire);
  const TSourceKind kind = reader != nullptr ? reader->SourceKind() : skNone;
  return kind == skLocalFile || kind == skWebFile;
}

void TPlayThread::ReaderRead(int64_t Time) {
  TReadThread* reader = FContext.Reader.load(std::memory_order_acquire);
  if (reader == nullptr) return;
  if (Time >= 0) {
    FReaderTarget = static_cast<uint32_t>(Time);
  } else if (reader->Queue().Count() != 0) {
    // A reader that has not taken its last request yet needs no reminder; piling them up
    // would only cut its reading short.
    return;
  }
  reader->Read(Time);
}

void TPlayThread::ReaderSeek(uint32_t Time) {
  TReadThread* reader = FContext.Reader.load(std::memory_order_acquire);
  if (reader == nullptr) return;
  FReaderTarget = Time;
  reader->Seek(Time);
}

void TPlayThread::ReaderClose() {
  if (TReadThread* reader = FContext.Reader.load(std::memory_order_acquire)) reader->Close();
}

}  // namespace kyv
