#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "decoder/DecoderCalls.h"
#include "picture/Rect.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "play/PlayContext.h"
#include "play/PlayThread.h"
#include "source/ReadThread.h"

namespace kyv::tool {

// A player without a toolkit, on the road the control takes: it normalises the address, chooses
// and opens the reader, makes the play thread when the reader reports the picture size, and
// handles the workers' window messages on its own (the calling) thread. It holds the decoder.
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
  ~THeadlessPlayer();  // closes the source
  THeadlessPlayer(const THeadlessPlayer&) = delete;
  THeadlessPlayer& operator=(const THeadlessPlayer&) = delete;

  // Opens a recording or still image and returns once the play thread exists. Raises EKyvError
  // with the reader's error code and text when the source reports one, and when it says nothing
  // within Timeout.
  void Open(const std::string& Address,
            std::chrono::milliseconds Timeout = std::chrono::seconds(30));
  // Stops and frees the play thread and the reader, and forgets the source. Safe when closed.
  void Close();
  bool IsOpen() const noexcept { return FPlayer != nullptr; }

  // Handles the window's messages for up to Timeout, or until Done returns true after one was
  // handled. UM_DIRTY messages waiting together are merged into one Dirty call. A source error
  // while open raises EKyvError. True when Done ended the wait.
  bool Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done = {});

  // Starts playing at Speed (1, 2, 4 ... 32); a live source from its newest frame.
  void Play(int Speed = 1);
  // Whether the open source is a live broadcast, which has no end.
  bool IsLive() const noexcept { return FLive; }

  // Seeks to Time and returns once the picture for it is drawn: raises EKyvError when it is not
  // within Timeout.
  void RenderAt(uint32_t Time, std::chrono::milliseconds Timeout = std::chrono::seconds(30));

  void SetListener(TListener Listener) { FListener = std::move(Listener); }

  // Needs an open source.
  TPlayThread& Player() { return *FPlayer; }
  TPlayContext& Context() noexcept { return FContext; }
  TReadThread& Reader() { return *FReader; }
  bool Ended() const noexcept { return FEnded; }

 private:
  void Handle(const TMessage& Message);
  // Raises the source's failure with its reason: "cannot open ADDRESS: error 15, ...".
  [[noreturn]] void RaiseSourceError(int Code, bool Opening);
  void CreatePlayer();

  TDecoderUsage FDecoder;
  const std::string FCacheFolder;
  TWindow FWindow;  // before the context: the workers post to it until they are gone
  TPlayContext FContext;
  TThreadPtr<TReadThread> FReader;
  TThreadPtr<TPlayThread> FPlayer;
  TListener FListener;
  TRect FDirty;
  std::string FAddress;  // as opened
  int FSourceError = 0;
  UINT FLastHandled = 0;  // the last window message handled
  bool FOpened = false;
  bool FEnded = false;
  bool FLive = false;
};

}  // namespace kyv::tool
