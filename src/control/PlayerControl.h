#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "control/ColorText.h"
#include "control/ControlTimer.h"
#include "control/PlayerCore.h"
#include "control/PlayerEvents.h"
#include "control/PlayerStatus.h"
#include "control/PlayerViews.h"
#include "nails/NailsCreator.h"
#include "nails/NailsSink.h"
#include "source/Download.h"

namespace kyv {

class TKyvTCPClient;

// The player control without a toolkit: its play state and the commands that move it, its
// properties, the sources' messages, the thumbnails, and the automatic reconnection. It sits on
// TPlayerCore (the road from an address to pictures) and tells the host what happened through
// IPlayerEvents; the toolkit's views draw what it decides (IPlayerViews).
//
// Every change of state goes through SetStatus, which raises OnPlayStateChanged. Commands that
// do not apply in the current state do nothing and raise nothing.
//
// Timers: the thumbnail follow-up (1000 ms, always running) and the reconnection (3000 ms, after
// a connection failure) run on the platform clock. They fire in RunTimers, which the host calls
// when the delay it was last given (SetTimerRequest) has passed, or which Pump calls; a test moves
// the manual clock and calls RunTimers.
//
// Threads: every member runs on the thread that made the control (the host's UI thread), and so
// do the events and the views' calls. Workers only post to Window().
class TPlayerControl : private TNailsSink {
 public:
  static constexpr uint32_t kActiveNailsMs = 1000;
  static constexpr uint32_t kAutoConnectMs = 3000;
  static constexpr uint32_t kDefaultInitialColor = 0xFF0000;
  static constexpr uint32_t kDefaultBackground = 0;  // black

  // CacheFolder: where downloads and the play thread's dump go (ending in '/'); empty means the
  // per-user cache folder, made here. When it cannot be made the control works on without it
  // and CacheFailure says why, for the host to show. Raises EKyvError when the decoder cannot be
  // initialised.
  explicit TPlayerControl(std::string CacheFolder = {});
  // Closes the source without raising events, and ends the thumbnail threads.
  ~TPlayerControl() override;
  TPlayerControl(const TPlayerControl&) = delete;
  TPlayerControl& operator=(const TPlayerControl&) = delete;

  // Borrowed; null for none. They must outlive the control or be removed first.
  void SetEvents(IPlayerEvents* Events) noexcept { FEvents = Events; }
  void SetViews(IPlayerViews* Views);
  // The host's wake-up for posted messages (see TPlayerCore::SetWakeUp); it then calls Drain.
  void SetWakeUp(std::function<void()> WakeUp) { FCore.SetWakeUp(std::move(WakeUp)); }
  // The host's timer: called with the delay after which the host calls RunTimers, whenever a
  // timer is started and after each RunTimers. Hosts that use Pump need none.
  void SetTimerRequest(std::function<void(uint32_t DelayMs)> Request);
  // The address of the hosting document, for bare file names; "" when there is none.
  void SetContainerUrl(std::string Url) { FCore.SetContainerUrl(std::move(Url)); }
  // "" when the cache folder was made.
  const std::string& CacheFailure() const noexcept { return FCacheFailure; }
  const std::string& CacheDir() const noexcept { return FCacheDir; }

  // Commands. Open (and LoadFile) cancels a pending reconnection, closes what is open and starts
  // opening Filename; a failure to choose or prepare the reader is raised (EKyvError) with the
  // control closed.
  void Open(const std::string& Filename);
  void LoadFile(const std::string& Filename) { Open(Filename); }
  void Play();
  void Pause();
  void Stop();
  // Closes the source, or cancels an open in progress, and cancels a pending reconnection.
  void Close();
  void FastForward();
  // There is no reverse scan: resumes normal play.
  void FastReverse();
  // Sends Command to a live station as a text; nothing for other sources.
  void Request(const std::string& Command);
  // Accepted and ignored.
  void SendScript(const std::string& Str) { (void)Str; }

  // Properties.
  const std::string& Url() const noexcept { return FURL; }
  // Opens Value unless it is empty once blanks and control characters around it are removed.
  void SetUrl(const std::string& Value);
  TStatus Status() const noexcept { return FStatus; }
  bool AutoStart() const noexcept { return FAutoStart; }
  void SetAutoStart(bool Value) noexcept { FAutoStart = Value; }
  bool AutoConnect() const noexcept { return FAutoConnect; }
  void SetAutoConnect(bool Value) noexcept { FAutoConnect = Value; }
  // Kept for hosts; nothing else reads them.
  bool EnableCache() const noexcept { return FEnableCache; }
  void SetEnableCache(bool Value) noexcept { FEnableCache = Value; }
  int32_t InitialColor() const noexcept { return FInitialColor; }
  void SetInitialColor(int32_t Value) noexcept { FInitialColor = Value; }
  const std::string& LocalIP() const noexcept { return FLocalIP; }
  void SetLocalIP(std::string Value) { FLocalIP = std::move(Value); }

  // The playing position in ms; 0 without a play thread.
  int32_t CurrentPosition() const;
  // Seeks; ignored without a play thread and for negative values. The state does not change.
  void SetCurrentPosition(int32_t Milliseconds);
  // Time of the last frame shown; 0 without a play thread.
  int32_t MediaTime() const;
  int32_t Duration() const;
  // Times of the newest and the oldest frame held; 0 when none is.
  int32_t Max() const;
  int32_t Min() const;
  int32_t KyvWidth() const;
  int32_t KyvHeight() const;
  // What a live station told of itself; "" for other sources.
  std::string Host() const;
  std::string ChannelName() const;
  std::string Title() const;
  std::string Author() const;
  std::string Copyright() const;
  std::string Description() const;
  TDisplayMode DisplayMode() const noexcept { return FDisplayMode; }
  // As the menu's items: another mode is shown and announced; the current one, or a value that
  // is no mode, changes nothing.
  void SetDisplayMode(TDisplayMode Mode);
  bool FullScreen() const noexcept { return FDisplayMode == dmFull; }
  // True enters full screen; false does nothing (full screen is left from its own window).
  void SetFullScreen(bool Value);
  // "#RRGGBB"; writing raises EKyvError for a bad text and changes nothing then.
  std::string BgColor() const { return ColorText(FBackground); }
  void SetBgColor(const std::string& Value);

  // The last failure a source reported (Code 0 before any); kept after Close.
  const TSourceError& LastSourceError() const noexcept { return FLastError; }

  // Handles the waiting window messages; false inside a running drain (see TPlayerCore::Drain).
  bool Drain() { return FCore.Drain(); }
  // Fires the timers that are due on the platform clock.
  void RunTimers();
  // Milliseconds until the next timer is due.
  uint32_t NextTimerDelay() const;
  // For hosts without an event loop: handles messages and timers for up to Timeout, or until
  // Done returns true. True when Done ended it; false at once inside a drain.
  bool Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done = {});

  HWND Window() const { return FCore.Window(); }
  TPlayerCore& Core() noexcept { return FCore; }
  // Whether the reconnection waits to reopen Url().
  bool ReconnectPending() const noexcept { return FAutoConnectTimer.Enabled(); }

 private:
  void SetStatus(TStatus Status);
  void DoPlay();
  void DoPause();
  void DoStop();
  void DoFastForward();
  void OpenMedia(const std::string& Address);
  void CloseMedia();
  void CancelOpen();

  void SourceReady();
  void SourceError(int Code);
  void End();
  void OtherMessage(const TMessage& Message);
  void LoadThumbnails();
  void LoadNails(const std::string& Dir) override;

  // The display mode's steps: the picture for the mode, and a whole repaint into it.
  void ShowPicture();
  void RefreshPicture();
  void ChooseMode(TDisplayMode Mode);
  void EnterFullScreen();
  void LeaveFullScreen();

  void ActiveNailsTimer();
  void AutoConnectTimer();
  void StartTimer(TControlTimer& Timer);

  // The live TCP stream when it is the reader; null otherwise.
  const TKyvTCPClient* Station() const;
  template <class TGetter>
  std::string StationText(TGetter Getter) const;

  std::string FCacheFailure;
  const std::string FCacheDir;
  TPlayerCore FCore;
  IPlayerEvents* FEvents = nullptr;
  IPlayerViews* FViews = nullptr;
  std::function<void(uint32_t)> FTimerRequest;

  std::string FURL;
  TStatus FStatus = vpClosed;
  bool FAutoStart = true;
  bool FAutoConnect = true;
  bool FEnableCache = true;
  int32_t FInitialColor = kDefaultInitialColor;
  std::string FLocalIP;
  uint32_t FBackground = kDefaultBackground;
  TDisplayMode FDisplayMode = dmAdaptive;
  TDisplayMode FSavedDisplayMode = dmAdaptive;  // to return to when full screen ends
  TSourceError FLastError;
  bool FDestroying = false;

  TControlTimer FActiveNailsTimer{kActiveNailsMs};
  TControlTimer FAutoConnectTimer{kAutoConnectMs};
  // The thumbnail threads post to the core's window; ended first by the destructor.
  TThreadPtr<TDownload> FDownload;
  TThreadPtr<TNailsCreator> FCreator;
};

}  // namespace kyv
