#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "com/ComPtr.h"
#include "context/PlayContext.h"
#include "control/WindowPump.h"
#include "decoder/DecoderCalls.h"
#include "picture/Rect.h"
#include "platform/Thread.h"
#include "play/PlayThread.h"
#include "source/ReadThread.h"

namespace kyv {

// Where the core's source stands.
enum TSourcePhase : uint8_t {
  spClosed = 0,
  spOpening = 1,  // the reader is opening; no play thread yet
  spReady = 2,    // the reader knew the picture size and the play thread exists
};

// The player without a toolkit: the road every front end takes, from an address to pictures.
// It normalises and resolves the address, chooses and opens the reader, makes the play thread
// when the reader reports the picture size (UM_OPENED), closes in an order that lets no worker
// reach a freed one, and handles the workers' window messages: changed rectangles waiting
// together are merged, and what a closed source posted is dropped. It holds the decoder and the
// play context for its whole life. The toolkit (or kyvtool) draws, shows and decides; the core
// tells it what happened through TEvents.
//
// Threads: every member runs on the thread that made the core (the host's UI thread). Workers
// only post to Window(). Events run on that thread, inside Drain or Pump; an event may call
// Open or Close, but must not destroy the core, and a Drain it starts (a nested event loop)
// returns false at once.
class TPlayerCore {
 public:
  struct TEvents {
    std::function<void()> Opened;                     // the play thread exists
    std::function<void(int Code)> SourceError;        // UM_SOURCE_ERROR, or UM_OPENED with a code
    std::function<void(const TRect& Changed)> Dirty;  // merged changed area, never empty
    std::function<void()> Marker;
    std::function<void(uint32_t Position)> Position;  // after a seek
    std::function<void()> End;                        // the last frame was shown
    // Messages that are not the source's (thumbnails, full screen). Whoever handles UM_NAIL
    // frees its block.
    std::function<void(const TMessage& Message)> Other;
  };

  // CacheFolder receives the play thread's diagnostic dump; empty means the temporary folder.
  // Raises EKyvError when the decoder cannot be initialised.
  explicit TPlayerCore(std::string CacheFolder = {});
  ~TPlayerCore();  // closes the source
  TPlayerCore(const TPlayerCore&) = delete;
  TPlayerCore& operator=(const TPlayerCore&) = delete;

  void SetEvents(TEvents Events) { FEvents = std::move(Events); }
  // The host's wake-up: called from worker threads, at most once per burst of posts, to
  // schedule Drain on the core's thread. Hosts without an event loop use Pump instead.
  void SetWakeUp(std::function<void()> WakeUp) { FPump.SetWakeUp(std::move(WakeUp)); }
  // The address of the document that hosts the player, against which a bare file name is
  // resolved; empty when there is none.
  void SetContainerUrl(std::string Url) { FContainerUrl = std::move(Url); }
  const std::string& ContainerUrl() const noexcept { return FContainerUrl; }
  // The host's sink of the live station's events (OnScript, OnIndex, OnStreamSample, OnString),
  // handed to each live TCP stream opened from now on, which raises them on its own thread.
  // Null for none.
  void SetStreamEvents(com::TComPtr<IDispatch> Events) { FStreamEvents = std::move(Events); }

  // Closes any source, then starts opening Address and returns at once: spOpening until
  // UM_OPENED makes the play thread (event Opened) or the reader reports a failure (event
  // SourceError). Raises EKyvError, with the core closed, when no reader can take the address.
  void Open(const std::string& Address);
  // Stops and frees the play thread and the reader, forgets the source and drops what it still
  // posted. Nothing happens when closed.
  void Close();

  // Handles the waiting window messages (see TWindowPump::Drain). False when refused because a
  // drain is already running.
  bool Drain(const std::function<bool()>& Until = {});
  // For hosts without an event loop: handles messages as they come for up to Timeout, or until
  // Done returns true after one was handled. True when Done ended it; false at once inside a
  // drain.
  bool Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done = {});

  TSourcePhase Phase() const noexcept { return FPhase; }
  // The address as normalised and resolved by the last Open; kept after Close.
  const std::string& Url() const noexcept { return FUrl; }
  // Whether the source is a live broadcast, which has no end and starts at its newest frame.
  bool IsLive() const noexcept { return FLive; }
  // A live picture starts with the newest frame received, not with the oldest held; nothing
  // for a recording or without a play thread.
  void SeekLiveToNewest();
  // The reader's reason behind Code, for a person to act on; empty when the reader is gone or
  // its last failure was another.
  std::string FailureCause(int Code) const;
  // The recording's header, once the source is ready; zero before, so nothing reads it while a
  // reader may still be writing it.
  TFileHeader Header() const noexcept {
    return FPhase == spReady ? FContext.Header : TFileHeader{};
  }
  HWND Window() const { return FPump.Handle(); }
  // The number of the last window message handled; 0 before any.
  UINT LastHandled() const noexcept { return FLastHandled; }

  // Null when there is none.
  TPlayThread* Player() noexcept { return FPlayer.get(); }
  const TPlayThread* Player() const noexcept { return FPlayer.get(); }
  TReadThread* Reader() noexcept { return FReader.get(); }
  const TReadThread* Reader() const noexcept { return FReader.get(); }
  TPlayContext& Context() noexcept { return FContext; }
  const TPlayContext& Context() const noexcept { return FContext; }

 private:
  void Handle(const TMessage& Message);
  void HandleOpened(int Code);
  void HandleDirty(const TMessage& First);
  void CreatePlayer();

  TDecoderUsage FDecoder;
  const std::string FCacheFolder;
  // Before the context: the workers post to it until they are gone.
  TWindowPump FPump;
  TPlayContext FContext;
  TThreadPtr<TReadThread> FReader;
  TThreadPtr<TPlayThread> FPlayer;
  TEvents FEvents;
  std::string FContainerUrl;
  com::TComPtr<IDispatch> FStreamEvents;
  std::string FUrl;
  TSourcePhase FPhase = spClosed;
  bool FLive = false;
  UINT FLastHandled = 0;
};

}  // namespace kyv
