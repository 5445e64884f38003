// The toolkit-free player core on a real recording: its phases, the reader's failures, merged
// changed areas, and what a closed source left in the window's queue.
#include "control/PlayerCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "platform/Event.h"
#include "support/ScriptedHttpServer.h"
#include "support/SmallSample.h"
#include "support/TempFolder.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

// What a core told its host, in order.
struct TRecordedEvents {
  std::vector<TRect> Dirty;
  std::vector<int> Errors;
  std::vector<uint32_t> Positions;
  std::vector<UINT> Other;
  int Opened = 0, Ends = 0, Markers = 0;

  TPlayerCore::TEvents Events() {
    TPlayerCore::TEvents events;
    events.Opened = [this] { ++Opened; };
    events.SourceError = [this](int Code) { Errors.push_back(Code); };
    events.Dirty = [this](const TRect& R) { Dirty.push_back(R); };
    events.Marker = [this] { ++Markers; };
    events.Position = [this](uint32_t P) { Positions.push_back(P); };
    events.End = [this] { ++Ends; };
    events.Other = [this](const TMessage& M) { Other.push_back(M.Msg); };
    return events;
  }
  bool Quiet() const {
    return Dirty.empty() && Errors.empty() && Positions.empty() && Other.empty() && Ends == 0 &&
           Markers == 0;
  }
};

void PostDirty(HWND Wnd, const TRect& R) {
  PostMessage(Wnd, UM_DIRTY, static_cast<WPARAM>((R.Left << 16) | R.Top),
              static_cast<LPARAM>((R.Right << 16) | R.Bottom));
}

class TPlayerCoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FFolder = std::make_unique<test::TTempFolder>("kyv_core");
    WriteSampleRecording(FFolder->Path() / "sample.kyv", test::SmallSample(4));
  }
  static void TearDownTestSuite() { FFolder.reset(); }
  static std::string Sample() { return (FFolder->Path() / "sample.kyv").string(); }

  void SetUp() override { Core.SetEvents(Recorded.Events()); }

  // Opens the sample and handles messages until the play thread exists; the play thread does
  // nothing until asked, so the queue stays empty afterwards.
  void OpenSample() {
    Core.Open(Sample());
    ASSERT_TRUE(Core.Pump(30s, [&] { return Core.Phase() == spReady; }));
    Recorded = {};
  }

  TRecordedEvents Recorded;
  TPlayerCore Core;
  static std::unique_ptr<test::TTempFolder> FFolder;
};

std::unique_ptr<test::TTempFolder> TPlayerCoreTest::FFolder;

TEST_F(TPlayerCoreTest, OpeningGoesThroughItsPhasesAndHandsTheHeaderOverWhenReady) {
  EXPECT_EQ(Core.Phase(), spClosed);
  Core.Open(Sample());
  EXPECT_EQ(Core.Phase(), spOpening);
  EXPECT_EQ(Core.Player(), nullptr);
  EXPECT_EQ(Core.Header().Width, 0);  // not read while the reader may write it
  ASSERT_TRUE(Core.Pump(30s, [&] { return Recorded.Opened > 0; }));
  EXPECT_EQ(Core.Phase(), spReady);
  ASSERT_NE(Core.Player(), nullptr);
  EXPECT_EQ(Core.Header().Width, 160);
  EXPECT_EQ(Core.Header().Height, 120);
  EXPECT_EQ(Core.Header().Duration, 4000u);
  EXPECT_FALSE(Core.IsLive());

  Core.Close();
  EXPECT_EQ(Core.Phase(), spClosed);
  EXPECT_EQ(Core.Player(), nullptr);
  EXPECT_EQ(Core.Reader(), nullptr);
  EXPECT_EQ(Core.Context().Header.Width, 0);
  EXPECT_EQ(Core.Context().Index.Count(), 0);
  EXPECT_EQ(Core.Url(), Sample());  // kept for a reconnection
  EXPECT_EQ(Recorded.Opened, 1);
}

TEST_F(TPlayerCoreTest, ABareNameIsResolvedAgainstTheHostingDocument) {
  Core.SetContainerUrl("file://" + (FFolder->Path() / "page.htm").string());
  Core.Open("sample.kyv");
  EXPECT_EQ(Core.Url(), Sample());
  EXPECT_TRUE(Core.Pump(30s, [&] { return Core.Phase() == spReady; }));
}

TEST_F(TPlayerCoreTest, AFailedOpenIsReportedAndTheCoreOpensAgainAfterwards) {
  Core.Open((FFolder->Path() / "missing.kyv").string());
  ASSERT_TRUE(Core.Pump(30s, [&] { return !Recorded.Errors.empty(); }));
  EXPECT_NE(*ReaderErrorText(Recorded.Errors.front()), '\0');
  EXPECT_EQ(Core.Phase(), spOpening);  // the host decides what a failure means
  EXPECT_EQ(Core.Player(), nullptr);
  Core.Close();
  OpenSample();
  EXPECT_NE(Core.Player(), nullptr);
}

TEST(TPlayerCoreDescription, ARemoteDescriptionIsFetchedIntoTheCacheOrTheOpenFails) {
  test::TTempFolder cache("kyv_core_cache");
  // Not a group, so the reader refuses it without joining anything on this machine.
  const std::string sms = "[Address]\r\nip=10.0.0.1\r\nport=5000\r\n";
  test::TScriptedHttpServer good(std::vector<uint8_t>(sms.begin(), sms.end()));
  const std::string page = "<!DOCTYPE html><html>moved</html>";
  test::TScriptedHttpServer html(std::vector<uint8_t>(page.begin(), page.end()));
  ASSERT_TRUE(good.Started() && html.Started());

  TPlayerCore core(cache.Path().string());
  core.Open(good.Url("/live/group.sms"));
  EXPECT_EQ(core.Phase(), spOpening);
  EXPECT_EQ(core.Url(), (cache.Path() / "Kavrindel.sms").string());
  EXPECT_TRUE(core.IsLive());
  core.Close();

  const std::string address = html.Url("/live/group.sms");
  try {
    core.Open(address);
    ADD_FAILURE() << "a page in place of the description opened";
  } catch (const EKyvError& e) {
    EXPECT_EQ(std::string(e.what()), "Fail to download file: " + address);
  }
  EXPECT_EQ(core.Phase(), spClosed);
  EXPECT_EQ(core.Reader(), nullptr);
}

TEST_F(TPlayerCoreTest, ChangedAreasWaitingTogetherAreMergedIntoOne) {
  OpenSample();
  const HWND wnd = Core.Window();
  PostDirty(wnd, {10, 10, 20, 20});
  PostDirty(wnd, {0, 30, 5, 40});
  PostMessage(wnd, UM_POSITION, 1234);
  PostDirty(wnd, {50, 5, 60, 8});
  PostDirty(wnd, {7, 7, 7, 9});  // empty: adds nothing
  ASSERT_TRUE(Core.Drain());
  ASSERT_EQ(Recorded.Dirty.size(), 1u);
  EXPECT_EQ(Recorded.Dirty.front(), (TRect{0, 5, 60, 40}));
  EXPECT_EQ(Recorded.Positions, std::vector<uint32_t>{1234});

  PostDirty(wnd, {3, 3, 3, 3});
  ASSERT_TRUE(Core.Drain());
  EXPECT_EQ(Recorded.Dirty.size(), 1u);  // an empty area alone is not announced
}

TEST_F(TPlayerCoreTest, WhatAClosedSourcePostedIsDroppedAndTheControlsOwnMessagesStay) {
  OpenSample();
  const HWND wnd = Core.Window();
  PostDirty(wnd, {0, 0, 8, 8});
  PostMessage(wnd, UM_ENTER_FULLSCREEN);
  PostMessage(wnd, UM_END);
  PostMessage(wnd, UM_POSITION, 5);
  PostMessage(wnd, UM_MARKER);
  PostMessage(wnd, UM_SOURCE_ERROR, reNetwork);
  Core.Close();
  ASSERT_TRUE(Core.Drain());
  EXPECT_EQ(Recorded.Other, std::vector<UINT>{UM_ENTER_FULLSCREEN});
  Recorded.Other.clear();
  EXPECT_TRUE(Recorded.Quiet());

  // Late posts that name no source now change nothing either.
  PostMessage(wnd, UM_OPENED, 0);
  PostDirty(wnd, {0, 0, 8, 8});
  PostMessage(wnd, UM_END);
  PostMessage(wnd, UM_SOURCE_ERROR, reNetwork);
  ASSERT_TRUE(Core.Drain());
  EXPECT_TRUE(Recorded.Quiet());
  EXPECT_EQ(Recorded.Opened, 0);
  EXPECT_EQ(Core.Player(), nullptr);
  EXPECT_EQ(Core.Phase(), spClosed);
}

TEST_F(TPlayerCoreTest, ACloseInsideAnEventDropsWhatTheSourceStillHadQueued) {
  OpenSample();
  auto events = Recorded.Events();
  events.End = [&] {
    ++Recorded.Ends;
    Core.Close();
  };
  Core.SetEvents(events);
  PostMessage(Core.Window(), UM_END);
  PostMessage(Core.Window(), UM_POSITION, 7);
  PostDirty(Core.Window(), {0, 0, 4, 4});
  ASSERT_TRUE(Core.Drain());
  EXPECT_EQ(Recorded.Ends, 1);
  EXPECT_TRUE(Recorded.Dirty.empty());
  EXPECT_TRUE(Recorded.Positions.empty());
  EXPECT_EQ(Core.Phase(), spClosed);
}

TEST_F(TPlayerCoreTest, AnEventThatRunsANestedLoopIsRefusedTheDrain) {
  bool nestedDrain = true, nestedPump = true;
  auto events = Recorded.Events();
  events.Opened = [&] {
    ++Recorded.Opened;
    nestedDrain = Core.Drain();
    nestedPump = Core.Pump(1s);
  };
  Core.SetEvents(events);
  Core.Open(Sample());
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(Core.Pump(30s, [&] { return Recorded.Opened > 0; }));
  EXPECT_FALSE(nestedDrain);
  EXPECT_FALSE(nestedPump);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);  // the nested Pump did not wait
}

// Playback to the end with a host that drains only when woken: every changed area and the end
// arrive, and no drain was asked for twice without one in between.
TEST_F(TPlayerCoreTest, AHostThatDrainsOnlyWhenWokenPlaysToTheEnd) {
  OpenSample();
  TEvent woken;
  std::atomic<int> wakes{0};
  Core.SetWakeUp([&] {
    ++wakes;
    woken.Set();
  });
  TPlayThread& player = *Core.Player();
  player.RequestPlay();
  for (int i = 0; i < 5; ++i) player.RequestFastForward();
  int drains = 0;
  while (Recorded.Ends == 0 && woken.WaitFor(30s)) {
    ++drains;
    Core.Drain();
  }
  EXPECT_EQ(Recorded.Ends, 1);
  EXPECT_FALSE(Recorded.Dirty.empty());
  EXPECT_EQ(player.LastSampleTime(), 4000u);
  EXPECT_LE(wakes.load(), drains + 1);
  // For the record: frames drawn (each posts its changed area) against wake-ups.
  RecordProperty("FramesShown", static_cast<int>(player.ShownCount()));
  RecordProperty("WakeUps", wakes.load());
  RecordProperty("DirtyEvents", static_cast<int>(Recorded.Dirty.size()));
  Core.Close();
  Core.SetWakeUp(nullptr);
}

}  // namespace
}  // namespace kyv
