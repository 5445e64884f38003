#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "control/PlayerCore.h"
#include "picture/Rect.h"

namespace kyv::tool {

// kyvtool's player: the toolkit-free core driven without an event loop. Open waits for the
// source, a source's failure becomes an EKyvError, and the window's messages are handled while
// the caller waits in Pump or RenderAt.
//
// Single-threaded from the caller's view: every member runs on the thread that made the object.
class THeadlessPlayer {
 public:
  // What the caller hears while the window's messages are handled.
  struct TListener {
    std::function<void(const TRect& Changed)> Dirty;  // merged changed area, never empty
    std::function<void()> Marker;
    std::function<void(uint32_t Position)> Position;
    std::function<void()> End;
  };

  explicit THeadlessPlayer(std::string CacheFolder = {});
  THeadlessPlayer(const THeadlessPlayer&) = delete;
  THeadlessPlayer& operator=(const THeadlessPlayer&) = delete;

  // Opens a recording or still image and returns once the play thread exists. Raises EKyvError
  // with the reader's error code and text when the source reports one, and when it says nothing
  // within Timeout.
  void Open(const std::string& Address,
            std::chrono::milliseconds Timeout = std::chrono::seconds(30));
  // Stops and frees the play thread and the reader, and forgets the source. Safe when closed.
  void Close();
  bool IsOpen() const noexcept { return FCore.Phase() == spReady; }

  // Handles the window's messages for up to Timeout, or until Done returns true after one was
  // handled. UM_DIRTY messages waiting together are merged into one Dirty call. A source error
  // while open raises EKyvError. True when Done ended the wait.
  bool Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done = {});

  // Starts playing at Speed (1, 2, 4 ... 32); a live source from its newest frame.
  void Play(int Speed = 1);
  // Whether the open source is a live broadcast, which has no end.
  bool IsLive() const noexcept { return FCore.IsLive(); }

  // Seeks to Time and returns once the picture for it is drawn: raises EKyvError when it is not
  // within Timeout.
  void RenderAt(uint32_t Time, std::chrono::milliseconds Timeout = std::chrono::seconds(30));

  void SetListener(TListener Listener);

  // Needs an open source.
  TPlayThread& Player() { return *FCore.Player(); }
  TPlayContext& Context() noexcept { return FCore.Context(); }
  TReadThread& Reader() { return *FCore.Reader(); }
  bool Ended() const noexcept { return FEnded; }

 private:
  // Raises the source's failure with its reason: "cannot open ADDRESS: error 15, ...".
  [[noreturn]] void RaiseSourceError(int Code, bool Opening);

  TPlayerCore FCore;
  TListener FListener;
  int FSourceError = 0;
  bool FEnded = false;
};

}  // namespace kyv::tool
