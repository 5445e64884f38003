#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "decoder/FileFormat.h"
#include "picture/BackBuffer.h"
#include "picture/Rect.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "store/FrameRecord.h"
#include "store/RecordBuffer.h"

namespace kyv {

struct TPlayContext;

// What the play thread is doing.
enum TPlayState : uint8_t {
  psStopped = 0,
  psPaused = 1,
  psPlaying = 2,
};

// The one thread that turns buffered frame records into pictures: it paces the frames of the
// context's frames buffer against the clock, decodes and draws each into its back buffer, tells
// the control's window what changed (UM_DIRTY, UM_MARKER, UM_POSITION, UM_END) and carries out
// seeks, re-rendering from the governing key frame or asking the reader to fetch it.
//
// Made by the control (TThread::Create<TPlayThread>) once the source knows the picture size; the
// control drives it only through the Request... members. The TThreadPtr ends and joins the
// thread before the object goes; the control stops it first (RequestStop).
//
// Threads: Request..., CurrentTime, LastSampleTime, ShownCount, State, Speed and
// SetCacheKeyFrames are called by the control's thread (RequestTrim also by readers). The
// positions are atomics written only by the play thread. Everything else is the play thread's.
class TPlayThread : public TThread {
 public:
  static constexpr size_t kInitialFrameBufSize = 512000;
  // The longest the play loop waits before it looks at the clock again. Keeps a clock that a
  // test moves by hand answered promptly; a real clock's frames are waited for exactly.
  static constexpr uint32_t kMaxPaceWaitMs = 10;
  // How long the loop waits for the reader when no frame is buffered.
  static constexpr uint32_t kUnderrunWaitMs = 10;
  static constexpr int32_t kMaxSpeed = 32;
  // wParam of the UM_PLAY the thread posts itself to resume after a seek.
  static constexpr WPARAM kResume = 1;
  // The longest Pause and Stop wait; a stop includes the reader's, which has a limit of its own.
  static constexpr uint32_t kRequestLimitMs = 10000;

  // CacheFolder (ending in a separator or not) receives "dump.txt" when a seek finds the buffer
  // in a state it cannot render from; empty means the per-user cache folder.
  explicit TPlayThread(TPlayContext& Context, std::string CacheFolder = {});
  ~TPlayThread() override;

  // Control's thread. Each posts a request; false when the thread has ended. Pause and Stop
  // return once the play thread has carried them out, or after kRequestLimitMs of the platform
  // clock when it does not (then logged, and false).
  bool RequestSeek(uint32_t Time);
  bool RequestPlay();
  bool RequestPause();
  bool RequestStop();
  bool RequestFastForward();
  bool RequestRefresh();
  // Any thread (readers of live sources): frees what was played up to the last key frame.
  bool RequestTrim();

  // Any thread: the position of playback, base time + elapsed time (ms).
  uint32_t CurrentTime() const noexcept {
    const uint64_t clock = FClock.load(std::memory_order_relaxed);
    return static_cast<uint32_t>(clock >> 32) + static_cast<uint32_t>(clock);
  }
  // Any thread: the Time of the last frame rendered. Whoever reads it then reads a position at
  // least as new as that frame's.
  uint32_t LastSampleTime() const noexcept {
    return FLastSampleTime.load(std::memory_order_acquire);
  }
  // Any thread: frames rendered by the play loop since the thread was made.
  uint32_t ShownCount() const noexcept { return FShownCount.load(std::memory_order_relaxed); }
  TPlayState State() const noexcept { return FState.load(std::memory_order_acquire); }
  int32_t Speed() const noexcept { return FSpeed.load(std::memory_order_relaxed); }

  // Control's thread, right after creation: whether decoded key frames are kept in the
  // context's key-frame cache.
  void SetCacheKeyFrames(bool Cache) noexcept {
    FCacheKeyFrames.store(Cache, std::memory_order_relaxed);
  }

  // The picture. The control copies from it between its Lock and Unlock.
  TBackBuffer& BackBuffer() noexcept { return FBackBuffer; }

 protected:
  void Execute() override;

 private:
  void Dispatch(const TMessage& Message);
  void PlayLoop();
  // True when the picture at the end of the recording is drawn and nothing follows it.
  bool AtEnd();
  // Stops at the end of the recording and announces it.
  void EndPlaying(uint32_t Start, uint32_t Speed);
  // UM_TRIM inside the play loop: frees what was played. True when the frame held must go.
  bool Trim();
  // The reader has loaded what a seek or a targeted read asked for, up to index Last.
  void HandleReplay(int32_t Last);
  // The play loop found nothing to play: the position stops at the last frame shown (or where a
  // seek put it), and the run starts again from now.
  void HoldPosition(uint32_t& Start, uint32_t Elapsed);
  // Leaving the play loop: folds the clock's time since Start into the base position.
  void SettlePosition(uint32_t Start, uint32_t Speed);
  // Renders one record. AfterPlay: rendered by the play loop, which may then free what was played.
  void RenderFrame(TFrameView Frame, bool AfterPlay);
  // RenderFrame for the play loop and replays: a frame that cannot be drawn is logged and skipped,
  // so that one damaged record never ends playback.
  void RenderOrSkip(TFrameView Frame, bool AfterPlay);
  void DrawFrame(const TFrameHeader& Header, const uint8_t* Image, size_t ImageSize);
  void ReplayRange(int32_t First, int32_t Last);
  void SeekTo(uint32_t Time);
  // The buffer index of the last frame at or before Time when Time lies within the buffer; -1
  // otherwise.
  int32_t LastIndexAt(uint32_t Time);
  // The buffer index of the last frame at or before Time, also when Time is past the buffer.
  int32_t LastIndexUpTo(uint32_t Time);
  // The buffer index of the key frame at KeyTime; -1 when no record has that time.
  int32_t KeyFrameIndex(uint32_t KeyTime);
  void ReportAbnormalBuffer(uint32_t KeyTime, uint32_t Target);
  void PostDirtyRect(bool Whole);
  void PostToWindow(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  void PostToSelf(UINT Msg, WPARAM WParam);
  // Posts a synchronous request and waits until it is carried out, the thread ends or the limit
  // passes.
  bool RequestAndWait(UINT Msg, const char* What);
  // True when a message other than UM_SEEK waits in the queue.
  bool InterruptWaiting();
  bool IsFileSource() const;
  void ReaderRead(int64_t Time);
  void ReaderSeek(uint32_t Time);
  void ReaderClose();
  uint32_t BaseTime() const noexcept {
    return static_cast<uint32_t>(FClock.load(std::memory_order_relaxed) >> 32);
  }
  void SetClock(uint32_t Base, uint32_t Elapsed) noexcept {
    FClock.store(uint64_t{Base} << 32 | Elapsed, std::memory_order_relaxed);
  }
  void SetBaseTime(uint32_t Base) noexcept { SetClock(Base, 0); }
  void SetState(TPlayState State) noexcept { FState.store(State, std::memory_order_release); }

  TPlayContext& FContext;
  const TFileHeader FHeader;  // the recording's header as of creation; its Duration clamps seeks
  const std::string FDumpFile;

  std::atomic<uint32_t> FLastSampleTime{0};
  // The base time (position at the start of the current play run) in the high half, the scaled
  // time played in the run in the low half: one atomic, so that a reader never sees the run's
  // time both folded into the base and still counted as elapsed.
  std::atomic<uint64_t> FClock{0};
  std::atomic<uint32_t> FShownCount{0};
  std::atomic<TPlayState> FState{psStopped};
  std::atomic<int32_t> FSpeed{1};
  std::atomic<bool> FCacheKeyFrames{true};
  // Key-frame time for which a file reader was last asked to seek; -1 for none.
  int64_t FRequestedKeyTime = -1;
  // The target a file reader is loading for (a seek or a targeted read) until it answers with
  // UM_REPLAY, and the target of the latest seek, which that answer carries on to.
  std::optional<uint32_t> FReaderTarget;
  uint32_t FSeekTarget = 0;

  // Signalled when a stop or pause has been carried out, and when the thread ends.
  TEvent FSyncEvent;
  TBackBuffer FBackBuffer;
  TRecordBuffer FFrameBuf{kInitialFrameBufSize};  // the next frame of the play loop
};

}  // namespace kyv
