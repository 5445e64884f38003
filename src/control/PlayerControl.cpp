#include "control/PlayerControl.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "nails/NailRecord.h"
#include "platform/CacheFolder.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "source/Address.h"
#include "source/live/KyvStream.h"

namespace kyv {

namespace {

// The cache folder the control works with, and why it could not be made ("" when it was).
std::string PrepareCacheFolder(std::string Given, std::string& Failure) {
  if (!Given.empty()) {
    if (Given.back() != '/') Given += '/';
    std::error_code error;
    std::filesystem::create_directories(Given + "nails", error);
    if (error) Failure = "Fail to create directory: " + Given.substr(0, Given.size() - 1);
    return Given;
  }
  try {
    return CacheFolder();
  } catch (const EKyvError& e) {
    Failure = e.Message();
    return CacheFolderPath();
  }
}

// The codes after which the control reconnects: no connection, refused, network, read failed.
bool IsReconnectCode(int Code) {
  return Code == reCannotConnect || Code == reServiceRefused || Code == reNetwork ||
         Code == reReadFailed;
}

// The folder part of an address, up to and including its last separator; "./" when it has none.
std::string FolderOf(const std::string& Address) {
  const size_t last = Address.find_last_of("/\\");
  return last == std::string::npos ? std::string("./") : Address.substr(0, last + 1);
}

// What the URL property ignores around an address: blanks and control characters.
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

TPlayerControl::TPlayerControl(std::string CacheFolder)
    : FCacheDir(PrepareCacheFolder(std::move(CacheFolder), FCacheFailure)), FCore(FCacheDir) {
  TPlayerCore::TEvents events;
  events.Opened = [this] { SourceReady(); };
  events.SourceError = [this](int Code) { SourceError(Code); };
  events.Dirty = [this](const TRect& Changed) {
    if (FViews) FViews->RepaintRect(Changed);
  };
  events.Marker = [this] {
    if (FViews) FViews->Marker();
  };
  events.End = [this] { End(); };
  events.Other = [this](const TMessage& Message) { OtherMessage(Message); };
  FCore.SetEvents(std::move(events));
  FActiveNailsTimer.Start();
}

TPlayerControl::~TPlayerControl() {
  // Nobody hears of the closing any more: the host is taking the control down.
  FEvents = nullptr;
  FViews = nullptr;
  FTimerRequest = nullptr;
  FAutoConnectTimer.Stop();
  FCore.Close();
  FCreator.reset();
  FDownload.reset();
  // The thumbnails' threads are gone: what they posted is freed now, with no view to take it.
  FDestroying = true;
  FCore.Drain();
}

void TPlayerControl::SetViews(IPlayerViews* Views) {
  FViews = Views;
  if (FViews) FViews->SetBackground(FBackground);
}

void TPlayerControl::SetTimerRequest(std::function<void(uint32_t DelayMs)> Request) {
  FTimerRequest = std::move(Request);
  if (FTimerRequest) FTimerRequest(NextTimerDelay());
}

// Commands.

void TPlayerControl::Open(const std::string& Filename) {
  FAutoConnectTimer.Stop();
  Close();
  OpenMedia(Filename);
}

void TPlayerControl::Play() {
  switch (FStatus) {
    case vpOpened:
    case vpPaused:
    case vpStopped:
    case vpScanForward:
      DoPlay();
      break;
    default:
      break;
  }
}

void TPlayerControl::Pause() {
  if (FStatus == vpPlaying || FStatus == vpScanForward) DoPause();
}

void TPlayerControl::Stop() {
  switch (FStatus) {
    case vpPlaying:
      DoStop();
      break;
    case vpPaused:
    case vpScanForward:
      // The play thread stops from playing; the host sees it pass through.
      DoPlay();
      if (FStatus == vpPlaying) DoStop();
      break;
    default:
      break;
  }
}

void TPlayerControl::Close() {
  // A Close during the reconnection's wait means the host wants no source: the wait ends too.
  FAutoConnectTimer.Stop();
  switch (FStatus) {
    case vpClosed:
      break;
    case vpOpening:
      CancelOpen();
      break;
    default:
      CloseMedia();
      break;
  }
}

void TPlayerControl::FastForward() {
  switch (FStatus) {
    case vpOpened:
    case vpPaused:
    case vpStopped:
      DoPlay();
      if (FStatus == vpPlaying) DoFastForward();
      break;
    case vpPlaying:
    case vpScanForward:
      DoFastForward();
      break;
    default:
      break;
  }
}

void TPlayerControl::FastReverse() {
  // There is no reverse scan; it resumes normal play in the states where Play does.
  Play();
}

void TPlayerControl::Request(const std::string& Command) {
  if (auto* stream = dynamic_cast<TKyvStream*>(FCore.Reader())) stream->PostText(Command);
}

void TPlayerControl::SetStatus(TStatus Status) {
  FStatus = Status;
  if (FEvents) FEvents->OnPlayStateChanged(Status);
}

void TPlayerControl::DoPlay() {
  if (TPlayThread* player = FCore.Player()) player->RequestPlay();
  SetStatus(vpPlaying);
}

void TPlayerControl::DoPause() {
  if (TPlayThread* player = FCore.Player()) player->RequestPause();
  SetStatus(vpPaused);
}

void TPlayerControl::DoStop() {
  if (TPlayThread* player = FCore.Player()) player->RequestStop();
  SetStatus(vpStopped);
}

void TPlayerControl::DoFastForward() {
  if (TPlayThread* player = FCore.Player()) player->RequestFastForward();
  SetStatus(vpScanForward);
}

void TPlayerControl::OpenMedia(const std::string& Address) {
  FURL = ResolveAddress(NormalizeAddress(Address), FCore.ContainerUrl());
  if (FViews) FViews->HideNails();
  FCore.Open(FURL);  // a failure leaves the control closed and reaches the caller
  SetStatus(vpOpening);
}

void TPlayerControl::CloseMedia() {
  FAutoConnectTimer.Stop();
  // The core drops what the source's workers still had queued, errors included.
  FCore.Close();
  if (FViews) FViews->HidePicture();
  SetStatus(vpClosed);
}

void TPlayerControl::CancelOpen() {
  FCore.Close();
  SetStatus(vpClosed);
}

// Properties.

void TPlayerControl::SetUrl(const std::string& Value) {
  if (std::all_of(Value.begin(), Value.end(), IsBlank)) return;
  Open(Value);
}

int32_t TPlayerControl::CurrentPosition() const {
  const TPlayThread* player = FCore.Player();
  return player ? static_cast<int32_t>(player->CurrentTime()) : 0;
}

void TPlayerControl::SetCurrentPosition(int32_t Milliseconds) {
  TPlayThread* player = FCore.Player();
  if (player && Milliseconds >= 0) player->RequestSeek(static_cast<uint32_t>(Milliseconds));
}

int32_t TPlayerControl::MediaTime() const {
  const TPlayThread* player = FCore.Player();
  return player ? static_cast<int32_t>(player->LastSampleTime()) : 0;
}

int32_t TPlayerControl::Duration() const {
  return static_cast<int32_t>(FCore.Header().Duration);
}

int32_t TPlayerControl::Max() const {
  return static_cast<int32_t>(FCore.Context().Frames.LastTime());
}

int32_t TPlayerControl::Min() const {
  return static_cast<int32_t>(FCore.Context().Frames.FirstTime());
}

int32_t TPlayerControl::KyvWidth() const {
  return FCore.Header().Width;
}

int32_t TPlayerControl::KyvHeight() const {
  return FCore.Header().Height;
}

const TKyvTCPClient* TPlayerControl::Station() const {
  return dynamic_cast<const TKyvStream*>(FCore.Reader());
}

template <class TGetter>
std::string TPlayerControl::StationText(TGetter Getter) const {
  const TKyvTCPClient* station = Station();
  return station ? (station->*Getter)() : std::string();
}

std::string TPlayerControl::Host() const {
  return StationText(&TKyvTCPClient::Host);
}
std::string TPlayerControl::ChannelName() const {
  return StationText(&TKyvTCPClient::Channel);
}
std::string TPlayerControl::Title() const {
  return StationText(&TKyvTCPClient::Title);
}
std::string TPlayerControl::Author() const {
  return StationText(&TKyvTCPClient::Author);
}
std::string TPlayerControl::Copyright() const {
  return StationText(&TKyvTCPClient::Copyright);
}
std::string TPlayerControl::Description() const {
  return StationText(&TKyvTCPClient::Description);
}

void TPlayerControl::SetBgColor(const std::string& Value) {
  FBackground = ParseColorText(Value);  // raises before anything changes
  if (FViews) FViews->SetBackground(FBackground);
}

// Display modes.

void TPlayerControl::SetDisplayMode(TDisplayMode Mode) {
  switch (Mode) {
    case dmAdaptive:
    case dmOriginal:
      ChooseMode(Mode);
      break;
    case dmFull:
      EnterFullScreen();
      break;
    default:
      break;
  }
}

void TPlayerControl::SetFullScreen(bool Value) {
  if (Value) EnterFullScreen();
}

void TPlayerControl::ShowPicture() {
  if (FViews) FViews->ShowPicture(FDisplayMode);
}

void TPlayerControl::RefreshPicture() {
  if (TPlayThread* player = FCore.Player()) player->RequestRefresh();
}

void TPlayerControl::ChooseMode(TDisplayMode Mode) {
  if (FDisplayMode == Mode) return;
  FDisplayMode = Mode;
  if (FCore.Player()) {
    ShowPicture();
    RefreshPicture();
  }
  if (FEvents) FEvents->OnDisplayModeChanged(FDisplayMode);
}

void TPlayerControl::EnterFullScreen() {
  if (FDisplayMode == dmFull) return;
  FSavedDisplayMode = FDisplayMode;
  ChooseMode(dmFull);
}

void TPlayerControl::LeaveFullScreen() {
  if (FDisplayMode != dmFull) return;
  FDisplayMode = FSavedDisplayMode;
  ShowPicture();
  RefreshPicture();
  if (FEvents) FEvents->OnDisplayModeChanged(FDisplayMode);
}

// The sources' messages.

void TPlayerControl::SourceReady() {
  ShowPicture();
  LoadThumbnails();
  SetStatus(vpOpened);
  // The host may have closed or reopened in the event.
  if (FStatus != vpOpened || !FAutoStart) return;
  Play();
  if (FStatus == vpPlaying) FCore.SeekLiveToNewest();
}

void TPlayerControl::SourceError(int Code) {
  FLastError = {Code, ReaderErrorText(Code), FCore.FailureCause(Code)};
  if (FEvents) FEvents->OnSourceError(FLastError);
  // A failed open announced by UM_OPENED is kept but changes nothing; the host decides.
  if (FCore.LastHandled() == UM_OPENED) return;
  if (FAutoConnect && IsReconnectCode(Code) && FStatus != vpClosed) {
    Close();
    StartTimer(FAutoConnectTimer);
  }
}

void TPlayerControl::End() {
  // An end that a stop or a close has overtaken is no longer news.
  if (FStatus != vpPlaying && FStatus != vpPaused && FStatus != vpScanForward) return;
  Stop();
  if (FStatus == vpStopped) SetStatus(vpStopped);
}

void TPlayerControl::OtherMessage(const TMessage& Message) {
  switch (Message.Msg) {
    case UM_NAIL: {
      const std::unique_ptr<TNailRecord> record = TakeNailRecord(Message);
      if (FViews && !FDestroying) FViews->AddNail(NailPath(*record), record->Seconds);
      break;
    }
    case UM_LOAD_NAILS:
      DeliverLoadNails(Message, *this);
      break;
    case UM_ENTER_FULLSCREEN:
      EnterFullScreen();
      break;
    case UM_LEAVE_FULLSCREEN:
      LeaveFullScreen();
      break;
    case UM_NAILS_LAYOUT:
      if (FViews) FViews->RelayoutOne(static_cast<int>(Message.WParam));
      break;
    default:
      if (FViews) FViews->WindowMessage(Message);
      break;
  }
}

void TPlayerControl::LoadThumbnails() {
  if (IsNetworkAddress(FURL)) {
    FDownload.reset();
    // Without a cache folder there is nowhere to put them.
    if (!FCacheFailure.empty()) return;
    FDownload = TThread::Create<TDownload>(TDownload::RemoteFolderOf(FURL), FCacheDir, Window());
    return;
  }
  const std::string dir = FolderOf(FURL);
  std::error_code error;
  if (std::filesystem::is_regular_file(dir + "nails.xml", error)) LoadNails(dir);
}

void TPlayerControl::LoadNails(const std::string& Dir) {
  if (FDestroying) return;
  // The old creation ends before the strip is cleared, so none of its thumbnails comes after.
  FCreator.reset();
  if (FViews) FViews->ClearNails();
  FCreator = TThread::Create<TNailsCreator>(Dir, Window());
}

// Timers.

void TPlayerControl::RunTimers() {
  const uint32_t now = timeGetTime();
  if (FAutoConnectTimer.Expire(now)) AutoConnectTimer();
  if (FActiveNailsTimer.Expire(now)) ActiveNailsTimer();
  if (FTimerRequest) FTimerRequest(NextTimerDelay());
}

uint32_t TPlayerControl::NextTimerDelay() const {
  const uint32_t now = timeGetTime();
  uint32_t delay = FActiveNailsTimer.Remaining(now).value_or(kActiveNailsMs);
  if (const auto reconnect = FAutoConnectTimer.Remaining(now)) delay = std::min(delay, *reconnect);
  return delay;
}

void TPlayerControl::StartTimer(TControlTimer& Timer) {
  Timer.Start();
  if (FTimerRequest) FTimerRequest(NextTimerDelay());
}

void TPlayerControl::ActiveNailsTimer() {
  const TPlayThread* player = FCore.Player();
  if (FStatus == vpPlaying && player && FViews && FViews->NailsVisible())
    FViews->SyncToTime(static_cast<int32_t>(player->CurrentTime() / 1000));
}

void TPlayerControl::AutoConnectTimer() {
  FAutoConnectTimer.Stop();
  try {
    Open(FURL);
  } catch (const EKyvError& e) {
    // Preparing the source failed (a description that could not be fetched): as with a
    // connection that fails, the control tries again later.
    FLastError = {0, e.Message(), {}};
    if (FEvents) FEvents->OnSourceError(FLastError);
    if (FAutoConnect) StartTimer(FAutoConnectTimer);
  }
}

bool TPlayerControl::Pump(std::chrono::milliseconds Timeout, const std::function<bool()>& Done) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + Timeout;
  for (;;) {
    bool done = false;
    if (!FCore.Drain([&] { return done = Done && Done(); })) return false;
    if (done) return true;
    RunTimers();
    if (Done && Done()) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    slice = std::min(slice, std::chrono::milliseconds(std::max<uint32_t>(NextTimerDelay(), 1)));
    if (FCore.Pump(slice, Done)) return true;
  }
}

}  // namespace kyv
