// The player control as a host sees it, on real sources: the events in order through the state
// table, commands and properties with nothing open, the address rules, the end of a recording,
// thumbnails from a folder and from a web server, and the reconnection to a refusing station on
// the manual clock.
#include "control/PlayerControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "StationChild.h"
#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "support/NginxServer.h"
#include "support/ScriptedHttpServer.h"
#include "support/SmallSample.h"
#include "support/TempFolder.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using TStates = std::vector<TStatus>;

// A host that records what the control tells it and what it asks of the views.
struct TTestHost : IPlayerEvents, IPlayerViews {
  TStates States;
  std::vector<int> Errors;
  uint32_t Background = 0xFFFFFFFF;
  std::vector<TDisplayMode> Shown, Modes;
  int Hidden = 0, Repaints = 0, NailsHidden = 0, NailsCleared = 0;
  std::vector<std::pair<std::string, int32_t>> Nails;
  std::vector<int32_t> Synced;

  void OnPlayStateChanged(TStatus NewState) override { States.push_back(NewState); }
  void OnDisplayModeChanged(TDisplayMode NewMode) override { Modes.push_back(NewMode); }
  void OnSourceError(const TSourceError& Error) override { Errors.push_back(Error.Code); }
  void ShowPicture(TDisplayMode Mode) override { Shown.push_back(Mode); }
  void HidePicture() override { ++Hidden; }
  void RepaintRect(const TRect&) override { ++Repaints; }
  void SetBackground(uint32_t Color) override { Background = Color; }
  void HideNails() override { ++NailsHidden; }
  bool NailsVisible() const override { return !Nails.empty(); }
  void ClearNails() override {
    ++NailsCleared;
    Nails.clear();
  }
  bool AddNail(const std::string& Path, int32_t Seconds) override {
    Nails.emplace_back(Path, Seconds);
    return true;
  }
  void SyncToTime(int32_t Seconds) override { Synced.push_back(Seconds); }
};

class PlayerControl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FRoot = std::make_unique<test::TTempFolder>("kyv_control");
    fs::create_directories(FRoot->Path() / "rec");
    WriteSampleRecording(FRoot->Path() / "rec/sample.kyv", test::SmallSample(4, 1000));
  }
  static void TearDownTestSuite() { FRoot.reset(); }
  static std::string Sample() { return (FRoot->Path() / "rec/sample.kyv").string(); }

  void SetUp() override { MakeControl(); }

  void MakeControl() {
    Control = std::make_unique<TPlayerControl>(FCache.Path().string());
    Control->SetEvents(&Host);
    Control->SetViews(&Host);
  }
  // Timers count from the clock of their start: the control is made again on the manual clock.
  TManualClock& UseManualClock() {
    Control.reset();
    Clock = std::make_unique<TManualClock>(1000);
    MakeControl();
    return *Clock;
  }

  bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout = 30s) {
    return Control->Pump(Timeout, Done);
  }
  bool PumpUntilState(TStatus State) {
    return PumpUntil([&] { return Control->Status() == State; });
  }
  // Opens the sample and waits until it is opened (and playing, with AutoStart).
  void OpenSample(bool AutoStart) {
    Control->SetAutoStart(AutoStart);
    Control->Open(Sample());
    ASSERT_TRUE(PumpUntilState(AutoStart ? vpPlaying : vpOpened));
    Host.States.clear();
  }
  // Runs Command and returns the events it raised.
  TStates Raised(const std::function<void()>& Command) {
    Host.States.clear();
    Command();
    return std::exchange(Host.States, {});
  }

  static std::unique_ptr<test::TTempFolder> FRoot;
  test::TTempFolder FCache{"kyv_control_cache"};
  TTestHost Host;
  std::unique_ptr<TManualClock> Clock;  // before the control, which goes first
  std::unique_ptr<TPlayerControl> Control;
};

std::unique_ptr<test::TTempFolder> PlayerControl::FRoot;

TEST_F(PlayerControl, OpeningRaisesEachStateAndOpeningAgainClosesFirst) {
  EXPECT_EQ(Control->Status(), vpClosed);
  EXPECT_EQ(Host.Background, 0u);  // the views start black
  Control->Open(Sample());
  EXPECT_EQ(Control->Status(), vpOpening);
  EXPECT_EQ(Host.NailsHidden, 1);
  ASSERT_TRUE(PumpUntilState(vpPlaying));
  EXPECT_EQ(Host.States, (TStates{vpOpening, vpOpened, vpPlaying}));
  EXPECT_EQ(Host.Shown, std::vector<TDisplayMode>{dmAdaptive});
  EXPECT_EQ(Control->KyvWidth(), 160);
  EXPECT_EQ(Control->KyvHeight(), 120);
  EXPECT_EQ(Control->Duration(), 4000);
  EXPECT_EQ(Control->Url(), Sample());

  EXPECT_EQ(Raised([&] { Control->Open(Sample()); }), (TStates{vpClosed, vpOpening}));
  EXPECT_EQ(Host.Hidden, 1);
  EXPECT_EQ(Control->KyvWidth(), 0);  // nothing is read from a source still opening
  ASSERT_TRUE(PumpUntilState(vpPlaying));
  EXPECT_EQ(Raised([&] { Control->Close(); }), (TStates{vpClosed}));
}

TEST_F(PlayerControl, WithNothingOpenCommandsRaiseNothingAndPropertiesAreNeutral) {
  const std::vector<std::pair<const char*, std::function<void()>>> commands = {
      {"Play", [&] { Control->Play(); }},
      {"Pause", [&] { Control->Pause(); }},
      {"Stop", [&] { Control->Stop(); }},
      {"Close", [&] { Control->Close(); }},
      {"FastForward", [&] { Control->FastForward(); }},
      {"FastReverse", [&] { Control->FastReverse(); }},
      {"Request", [&] { Control->Request("KeyDown 65"); }},
      {"SendScript", [&] { Control->SendScript("anything"); }},
      {"CurrentPosition", [&] { Control->SetCurrentPosition(1000); }},
      {"URL blank", [&] { Control->SetUrl(" \t\r\n"); }},
      {"URL empty", [&] { Control->SetUrl(""); }},
  };
  for (const auto& [name, command] : commands) {
    EXPECT_TRUE(Raised(command).empty()) << name;
    EXPECT_EQ(Control->Status(), vpClosed) << name;
  }
  EXPECT_EQ(Control->Url(), "");
  for (const int32_t value :
       {Control->CurrentPosition(), Control->MediaTime(), Control->Duration(), Control->Max(),
        Control->Min(), Control->KyvWidth(), Control->KyvHeight()})
    EXPECT_EQ(value, 0);
  for (const std::string& text : {Control->Host(), Control->ChannelName(), Control->Title(),
                                  Control->Author(), Control->Copyright(), Control->Description()})
    EXPECT_EQ(text, "");
  EXPECT_TRUE(Control->AutoStart());
  EXPECT_TRUE(Control->AutoConnect());
  EXPECT_TRUE(Control->EnableCache());
  EXPECT_EQ(Control->InitialColor(), 0xFF0000);
  EXPECT_EQ(Control->LocalIP(), "");
  EXPECT_EQ(Control->LastSourceError().Code, 0);
}

TEST_F(PlayerControl, EveryCommandMovesTheStateAsTheTableSays) {
  OpenSample(false);
  struct TStep {
    const char* Name;
    std::function<void()> Command;
    TStates Events;
  };
  const std::vector<TStep> steps = {
      {"Pause when opened", [&] { Control->Pause(); }, {}},
      {"Stop when opened", [&] { Control->Stop(); }, {}},
      {"Play", [&] { Control->Play(); }, {vpPlaying}},
      {"Play when playing", [&] { Control->Play(); }, {}},
      {"FastReverse when playing", [&] { Control->FastReverse(); }, {}},
      {"Pause", [&] { Control->Pause(); }, {vpPaused}},
      {"Pause when paused", [&] { Control->Pause(); }, {}},
      {"Stop from paused", [&] { Control->Stop(); }, {vpPlaying, vpStopped}},
      {"FastForward from stopped", [&] { Control->FastForward(); }, {vpPlaying, vpScanForward}},
      {"FastForward when scanning", [&] { Control->FastForward(); }, {vpScanForward}},
      {"FastReverse when scanning", [&] { Control->FastReverse(); }, {vpPlaying}},
      {"FastForward when playing", [&] { Control->FastForward(); }, {vpScanForward}},
      {"Stop when scanning", [&] { Control->Stop(); }, {vpPlaying, vpStopped}},
      {"Stop when stopped", [&] { Control->Stop(); }, {}},
      {"Play from stopped", [&] { Control->Play(); }, {vpPlaying}},
      {"Seek", [&] { Control->SetCurrentPosition(1500); }, {}},
      {"Close", [&] { Control->Close(); }, {vpClosed}},
      {"Close when closed", [&] { Control->Close(); }, {}},
  };
  for (const TStep& step : steps) EXPECT_EQ(Raised(step.Command), step.Events) << step.Name;
  EXPECT_EQ(Control->Status(), vpClosed);
  EXPECT_EQ(Control->Core().Player(), nullptr);
}

TEST_F(PlayerControl, DisplayModesAreKeptWithNothingOpenAndFullScreenReturnsToTheModeBefore) {
  using TModes = std::vector<TDisplayMode>;
  Control->SetDisplayMode(dmAdaptive);  // the current mode
  Control->SetFullScreen(false);
  Control->SetDisplayMode(static_cast<TDisplayMode>(7));
  EXPECT_TRUE(Host.Modes.empty());
  Control->SetDisplayMode(dmOriginal);
  EXPECT_EQ(Host.Modes, TModes{dmOriginal});
  EXPECT_TRUE(Host.Shown.empty());  // nothing to show yet

  OpenSample(false);
  EXPECT_EQ(Host.Shown, TModes{dmOriginal});  // a new source keeps the mode
  Control->SetFullScreen(true);
  EXPECT_TRUE(Control->FullScreen());
  Control->SetFullScreen(false);  // full screen is left from its own window only
  PostMessage(Control->Window(), UM_ENTER_FULLSCREEN);
  ASSERT_TRUE(Control->Drain());
  EXPECT_EQ(Control->DisplayMode(), dmFull);
  PostMessage(Control->Window(), UM_LEAVE_FULLSCREEN);
  PostMessage(Control->Window(), UM_LEAVE_FULLSCREEN);
  ASSERT_TRUE(Control->Drain());
  EXPECT_EQ(Control->DisplayMode(), dmOriginal);
  EXPECT_EQ(Host.Modes, (TModes{dmOriginal, dmFull, dmOriginal}));
  EXPECT_EQ(Host.Shown, (TModes{dmOriginal, dmFull, dmOriginal}));
  EXPECT_TRUE(Host.States.empty());  // the play state is not touched
}

TEST_F(PlayerControl, CloseWhileOpeningCancelsTheOpen) {
  Control->Open(Sample());
  EXPECT_EQ(Raised([&] { Control->Close(); }), (TStates{vpClosed}));
  // The reader's answer was dropped with it.
  EXPECT_FALSE(PumpUntil([&] { return !Host.States.empty(); }, 300ms));
  EXPECT_EQ(Control->Core().Player(), nullptr);
}

TEST_F(PlayerControl, URLOpensUnlessBlankAndABareNameFollowsTheHostingDocument) {
  Control->SetAutoStart(false);
  EXPECT_EQ(Raised([&] { Control->SetUrl(Sample()); }), (TStates{vpOpening}));
  ASSERT_TRUE(PumpUntilState(vpOpened));
  EXPECT_TRUE(Raised([&] { Control->SetUrl("  \x01 "); }).empty());
  EXPECT_EQ(Control->Url(), Sample());

  // Without a hosting document a bare name stays as it is, and does not open from here.
  Control->Open("sample.kyv");
  EXPECT_EQ(Control->Url(), "sample.kyv");
  ASSERT_TRUE(PumpUntil([&] { return !Host.Errors.empty(); }));
  EXPECT_EQ(Control->Status(), vpOpening);  // not a reconnection code: the host decides

  Control->SetContainerUrl("file://" + (FRoot->Path() / "rec/page.htm").string());
  Control->Open("sample.kyv");
  EXPECT_EQ(Control->Url(), Sample());
  EXPECT_TRUE(PumpUntilState(vpOpened));
}

TEST_F(PlayerControl, AFailedOpenAnnouncedAsOpenedIsKeptButNeverReconnects) {
  Control->Open((FRoot->Path() / "missing.kyv").string());
  ASSERT_TRUE(PumpUntil([&] { return !Host.Errors.empty(); }));
  // The reader's reason reaches the host beside the system's text.
  EXPECT_THAT(Control->LastSourceError().Cause, ::testing::HasSubstr("No such file or directory"));
  // A reader that gives up while opening may say so in its UM_OPENED.
  PostMessage(Control->Window(), UM_OPENED, reCannotConnect);
  ASSERT_TRUE(Control->Drain());
  EXPECT_EQ(Host.Errors.back(), reCannotConnect);
  EXPECT_EQ(Control->LastSourceError().Code, reCannotConnect);
  EXPECT_EQ(Control->LastSourceError().Text, ReaderErrorText(reCannotConnect));
  EXPECT_FALSE(Control->ReconnectPending());
  EXPECT_EQ(Host.States, (TStates{vpOpening}));
  Control->Close();
  EXPECT_EQ(Control->LastSourceError().Code, reCannotConnect);  // kept for the host to tell
}

TEST_F(PlayerControl, ADescriptionThatCannotBeFetchedFailsTheOpenAndLeavesTheControlClosed) {
  const std::string page = "<!DOCTYPE html><html>moved</html>";
  test::TScriptedHttpServer server(std::vector<uint8_t>(page.begin(), page.end()));
  ASSERT_TRUE(server.Started());
  const std::string address = server.Url("/live/group.sms");
  try {
    Control->Open(address);
    ADD_FAILURE() << "a page in place of the description opened";
  } catch (const EKyvError& e) {
    EXPECT_EQ(e.Message(), "Fail to download file: " + address);
  }
  EXPECT_EQ(Control->Status(), vpClosed);
  EXPECT_TRUE(Host.States.empty());
  EXPECT_EQ(Control->Url(), address);
}

TEST_F(PlayerControl, BackgroundColourIsTakenReadBackAndABadTextChangesNothing) {
  Control->SetBgColor("#FF8000");
  EXPECT_EQ(Host.Background, 0x0080FFu);
  EXPECT_EQ(Control->BgColor(), "#FF8000");
  try {
    Control->SetBgColor("FF8000");
    ADD_FAILURE() << "six characters were taken";
  } catch (const EKyvError& e) {
    EXPECT_EQ(e.Message(), "Unknown color format");
  }
  EXPECT_THROW(Control->SetBgColor("#FF80ZZ"), EKyvError);
  EXPECT_EQ(Host.Background, 0x0080FFu);
  EXPECT_EQ(Control->BgColor(), "#FF8000");
}

TEST_F(PlayerControl, NegativePositionsAndSeeksBeforeTheSourceIsReadyAreIgnored) {
  Control->SetAutoStart(false);
  Control->Open(Sample());
  Control->SetCurrentPosition(3000);  // no play thread yet
  ASSERT_TRUE(PumpUntilState(vpOpened));
  EXPECT_EQ(Control->CurrentPosition(), 0);

  Control->SetCurrentPosition(2000);
  ASSERT_TRUE(PumpUntil([&] { return Control->CurrentPosition() == 2000; }));
  Control->SetCurrentPosition(-5);
  PumpUntil({}, 200ms);
  EXPECT_EQ(Control->CurrentPosition(), 2000);
  EXPECT_EQ(Control->Status(), vpOpened);  // seeking is not a state
}

TEST_F(PlayerControl, AtTheEndTheHostHearsStoppedTwiceAndThePositionIsZero) {
  OpenSample(true);
  for (int i = 0; i < 5; ++i) Control->FastForward();
  ASSERT_EQ(Control->Status(), vpScanForward);
  Host.States.clear();
  ASSERT_TRUE(PumpUntilState(vpStopped));
  PumpUntil({}, 100ms);
  // From scanning the stop passes through playing.
  EXPECT_EQ(Host.States, (TStates{vpPlaying, vpStopped, vpStopped}));
  EXPECT_EQ(Control->Status(), vpStopped);
  EXPECT_EQ(Control->CurrentPosition(), 0);
  EXPECT_GT(Host.Repaints, 0);
}

TEST_F(PlayerControl, ThumbnailsBesideALocalRecordingFollowThePlayingTime) {
  TManualClock& clock = UseManualClock();
  OpenSample(true);
  ASSERT_TRUE(PumpUntil([&] { return Host.Nails.size() == 4; }));
  EXPECT_EQ(Host.NailsCleared, 1);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Host.Nails[i].second, i);
    EXPECT_TRUE(fs::exists(Host.Nails[i].first)) << Host.Nails[i].first;
  }
  // Once a second, while playing, the strip is told the playing second.
  const TPlayThread& player = *Control->Core().Player();
  ASSERT_TRUE(PumpUntil([&] { return player.State() == psPlaying; }));
  clock.Advance(999);
  Control->RunTimers();
  EXPECT_TRUE(Host.Synced.empty());
  clock.Advance(1500);
  // Not pumped meanwhile, which would run the timer before the play thread has moved on.
  for (int i = 0; i < 2000 && Control->CurrentPosition() < 2000; ++i)
    std::this_thread::sleep_for(5ms);
  ASSERT_GE(Control->CurrentPosition(), 2000);
  Control->RunTimers();
  ASSERT_EQ(Host.Synced.size(), 1u);
  EXPECT_EQ(Host.Synced[0], Control->CurrentPosition() / 1000);
  EXPECT_GE(Host.Synced[0], 1);
  Control->Pause();
  clock.Advance(1000);
  Control->RunTimers();
  EXPECT_EQ(Host.Synced.size(), 1u);
}

TEST_F(PlayerControl, ThumbnailsOfAWebRecordingAreDownloadedIntoTheCacheFolder) {
  test::TNginxServer server(FRoot->Path());
  if (!server.Started()) GTEST_SKIP() << "nginx is not available: " << server.Reason();
  Control->SetAutoStart(false);
  Control->Open(server.Url("rec/sample.kyv"));
  ASSERT_TRUE(PumpUntil([&] { return Host.Nails.size() == 4; }));
  EXPECT_EQ(Control->Status(), vpOpened);
  for (const auto& [path, seconds] : Host.Nails) {
    EXPECT_EQ(path.rfind(FCache.Path().string(), 0), 0u) << path;
    EXPECT_TRUE(fs::exists(path)) << path;
  }
}

class PlayerControlStation : public PlayerControl {
 protected:
  void SetUp() override {
    PlayerControl::SetUp();
    Folder = std::make_unique<test::TTempFolder>("kyv_control_station");
  }
  std::string StartStation(const std::vector<std::string>& Options) {
    std::vector<std::string> args = Options;
    args.push_back(Sample());
    Station = std::make_unique<test::TStationChild>(*Folder, args);
    if (!Station->Ready()) return {};
    return "kyvs://127.0.0.1:" + std::to_string(Station->Port()) + "/demo";
  }

  std::unique_ptr<test::TTempFolder> Folder;
  std::unique_ptr<test::TStationChild> Station;
};

TEST_F(PlayerControlStation, ALiveStationTellsItsTextsAndPlaysFromItsNewestFrame) {
  const std::string address = StartStation({"--title", "Weekly", "--author", "Ann"});
  ASSERT_FALSE(address.empty()) << Station->Output();
  Control->Open(address);
  ASSERT_TRUE(PumpUntilState(vpPlaying))
      << testing::PrintToString(Host.States) << testing::PrintToString(Host.Errors)
      << Station->Output();
  EXPECT_EQ(Host.States, (TStates{vpOpening, vpOpened, vpPlaying}));
  EXPECT_EQ(Control->Title(), "Weekly");
  EXPECT_EQ(Control->Author(), "Ann");
  EXPECT_EQ(Control->Host(), "127.0.0.1");
  EXPECT_EQ(Control->ChannelName(), "demo");
  EXPECT_EQ(Control->KyvWidth(), 160);
  EXPECT_GE(Control->Max(), Control->Min());
  Control->Request("REQUEST\r\nKeyDown 65");
  EXPECT_TRUE(Station->WaitForOutput("KeyDown 65")) << Station->Output();
  EXPECT_FALSE(PumpUntil([&] { return !Host.Errors.empty(); }, 300ms));  // the stream goes on
  Control->Close();
  EXPECT_EQ(Control->Title(), "");
}

TEST_F(PlayerControlStation, WithoutAutoConnectARefusalLeavesTheControlOpening) {
  const std::string address = StartStation({"--deny"});
  ASSERT_FALSE(address.empty()) << Station->Output();
  TManualClock& clock = UseManualClock();
  Control->SetAutoConnect(false);
  Control->Open(address);
  ASSERT_TRUE(PumpUntil([&] { return !Host.Errors.empty(); }));
  EXPECT_EQ(Host.Errors, std::vector<int>{reServiceRefused});
  EXPECT_EQ(Control->LastSourceError().Text, ReaderErrorText(reServiceRefused));
  clock.Advance(10000);
  Control->RunTimers();
  EXPECT_EQ(Host.States, (TStates{vpOpening}));
  EXPECT_EQ(Control->Status(), vpOpening);
  EXPECT_FALSE(Control->ReconnectPending());
}

TEST_F(PlayerControlStation, ARefusingStationIsTriedAgainEvery3SecondsUntilCloseOrAnotherOpen) {
  const std::string address = StartStation({"--deny"});
  ASSERT_FALSE(address.empty()) << Station->Output();
  TManualClock& clock = UseManualClock();
  Control->SetAutoStart(false);
  uint32_t requested = 0;
  Control->SetTimerRequest([&](uint32_t DelayMs) { requested = DelayMs; });
  Control->Open(address);
  const auto refused = [&] { return Control->Status() == vpClosed; };

  for (int cycle = 0; cycle < 2; ++cycle) {
    ASSERT_TRUE(PumpUntil(refused)) << cycle;
    EXPECT_EQ(Host.States, (TStates{vpOpening, vpClosed})) << cycle;
    EXPECT_TRUE(Control->ReconnectPending());
    EXPECT_LE(requested, 1000u);  // the thumbnail timer comes first
    clock.Advance(2999);
    Control->RunTimers();
    EXPECT_EQ(requested, 1u);
    EXPECT_EQ(Host.States.size(), 2u);
    Host.States.clear();
    clock.Advance(1);
    Control->RunTimers();
    EXPECT_EQ(Host.States, (TStates{vpOpening})) << cycle;
    EXPECT_EQ(Control->Url(), address);
  }

  // Close during the wait: the reconnection is off, and closing raises nothing.
  ASSERT_TRUE(PumpUntil(refused));
  Host.States.clear();
  Control->Close();
  EXPECT_FALSE(Control->ReconnectPending());
  clock.Advance(6000);
  Control->RunTimers();
  EXPECT_TRUE(Host.States.empty());

  // Another Open during the wait takes its place.
  Control->Open(address);
  ASSERT_TRUE(PumpUntil(refused));
  Host.States.clear();
  Control->Open(Sample());
  EXPECT_FALSE(Control->ReconnectPending());
  ASSERT_TRUE(PumpUntilState(vpOpened));
  clock.Advance(6000);
  Control->RunTimers();
  EXPECT_EQ(Host.States, (TStates{vpOpening, vpOpened}));
  EXPECT_EQ(Control->Url(), Sample());
}

}  // namespace
}  // namespace kyv
