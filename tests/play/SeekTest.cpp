// Seeks answered from the buffer: merging, clamping, key-frame groups, interruptions, and the
// buffer that cannot be rendered from.
#include <fstream>
#include <sstream>

#include "PlayHarness.h"
#include "log/Log.h"

namespace kyv::test {
namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

class TSeekTest : public TPlayHarness {
 protected:
  // Two key-frame groups: red from 0 with a blue square at 100 and a green one at 200, white
  // from 1000 with squares at 1100 and 1200.
  void AddTwoGroups() {
    AddKey(0, kRed);
    AddRect(100, 0, 0, 8, 8, kBlue);
    AddRect(200, 16, 0, 8, 8, kGreen);
    AddKey(1000, kWhite);
    AddRect(1100, 0, 0, 8, 8, kBlue);
    AddRect(1200, 16, 0, 8, 8, kGreen);
  }

  TRect SeekAndWaitDirty(uint32_t Time) {
    Player->RequestSeek(Time);
    TMessage dirty;
    EXPECT_TRUE(WaitMessage(UM_DIRTY, &dirty));
    const auto w = static_cast<uint32_t>(dirty.WParam), l = static_cast<uint32_t>(dirty.LParam);
    return {int(w >> 16), int(w & 0xFFFF), int(l >> 16), int(l & 0xFFFF)};
  }
};

TEST_F(TSeekTest, BackwardsWithinAGroupRendersFromItsKeyFrame) {
  AddTwoGroups();
  StartPlayer();
  SeekAndWaitDirty(250);
  EXPECT_EQ(Player->LastSampleTime(), 200u);
  EXPECT_EQ(PixelAt(16, 0), kGreen);

  // Back to 150: the green square must go, which only a render from the key frame does.
  const TRect changed = SeekAndWaitDirty(150);
  EXPECT_EQ(Player->LastSampleTime(), 100u);
  EXPECT_EQ(Context.Frames.CurrentIndex(), 1);
  EXPECT_EQ(PixelAt(16, 0), kRed);
  EXPECT_EQ(PixelAt(0, 0), kBlue);
  EXPECT_EQ(changed, (TRect{0, 0, kWidth, kHeight}));
}

TEST_F(TSeekTest, ForwardsWithinAGroupRendersOnlyTheFramesBetween) {
  AddTwoGroups();
  StartPlayer();
  SeekAndWaitDirty(100);
  EXPECT_EQ(Player->LastSampleTime(), 100u);
  const TRect changed = SeekAndWaitDirty(200);
  EXPECT_EQ(Player->LastSampleTime(), 200u);
  EXPECT_EQ(changed, (TRect{16, 0, 24, 8}));  // the one frame between, not the key frame
}

TEST_F(TSeekTest, IntoAnotherGroupRendersFromThatKeyFrame) {
  AddTwoGroups();
  StartPlayer();
  SeekAndWaitDirty(150);
  SeekAndWaitDirty(1150);
  EXPECT_EQ(Player->LastSampleTime(), 1100u);
  EXPECT_EQ(PixelAt(0, 0), kBlue);
  EXPECT_EQ(PixelAt(16, 0), kWhite);
  ASSERT_TRUE(WaitMessage(UM_POSITION));
  EXPECT_EQ(Params(UM_POSITION).back(), 1150u);
  EXPECT_EQ(Player->CurrentTime(), 1150u);
}

TEST_F(TSeekTest, BeforeTheFirstKeyFrameGoesToIt) {
  AddRect(100, 0, 0, 8, 8, kBlue);
  AddKey(500, kGreen);
  AddRect(600, 0, 0, 8, 8, kBlue);
  StartPlayer();
  Player->RequestSeek(200);
  ASSERT_TRUE(WaitMessage(UM_POSITION));
  EXPECT_EQ(Params(UM_POSITION).back(), 500u);
  EXPECT_EQ(Player->LastSampleTime(), 500u);
  EXPECT_EQ(PixelAt(0, 0), kGreen);
}

TEST_F(TSeekTest, BeyondTheDurationGoesToTheDuration) {
  Context.Header.Duration = 1200;
  AddTwoGroups();
  StartPlayer();
  Player->RequestSeek(999999);
  ASSERT_TRUE(WaitMessage(UM_POSITION));
  EXPECT_EQ(Params(UM_POSITION).back(), 1200u);
  EXPECT_EQ(Player->LastSampleTime(), 1200u);
}

TEST_F(TSeekTest, WithoutAnIndexNothingIsRenderedAndPlayingGoesOn) {
  AddKey(0, kRed, false);
  AddRect(100, 0, 0, 8, 8, kBlue);
  StartPlayer();
  Player->RequestSeek(100);
  Settle();
  EXPECT_TRUE(Seen.empty());
  EXPECT_EQ(Player->LastSampleTime(), 0u);

  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  Player->RequestSeek(100);
  Taken();
  Clock.Advance(100);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 100; }));
  EXPECT_EQ(Player->State(), psPlaying);
  EXPECT_EQ(CountSeen(UM_POSITION), 0u);
}

TEST_F(TSeekTest, SeeksWaitingTogetherAreCarriedOutOnceToTheLast) {
  AddTwoGroups();
  StartPlayer();
  // Holding the list makes the first seek wait inside the play thread while the others queue.
  Context.Frames.Lock();
  Player->RequestSeek(150);
  ASSERT_TRUE(Eventually([&] { return Player->Queue().Count() == 0; }));
  Player->RequestSeek(1250);
  Player->RequestSeek(250);
  Player->RequestSeek(1150);
  Context.Frames.Unlock();
  ASSERT_TRUE(Eventually([&] { return CountSeen(UM_POSITION) == 2; }));
  Settle();
  EXPECT_EQ(Params(UM_POSITION), (std::vector<WPARAM>{150, 1150}));
  EXPECT_EQ(Player->LastSampleTime(), 1100u);
}

TEST_F(TSeekTest, WhilePlayingTheFramesOfASeekAreShownAtTheTargetPosition) {
  AddTwoGroups();
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));  // the first frame; the clock stands, so the next waits
  // The target buffered; then past the buffer's end, within the group shown.
  for (const auto& [target, firstDrawn] : {std::pair{1150u, 1000u}, std::pair{1500u, 1200u}}) {
    {
      // Holding the picture stops the replay at the first frame it draws, which is published
      // by then: whoever sees it must find the position at the target already.
      TBackBuffer& picture = Player->BackBuffer();
      std::unique_lock lock(picture);
      Player->RequestSeek(target);
      ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == firstDrawn; })) << target;
      EXPECT_EQ(Player->CurrentTime(), target);
    }
    ASSERT_TRUE(WaitMessage(UM_POSITION));
    EXPECT_EQ(Player->CurrentTime(), target);
  }
}

TEST_F(TSeekTest, APauseInterruptsAReplayButSeeksDoNot) {
  AddTwoGroups();
  StartPlayer();
  TBackBuffer& picture = Player->BackBuffer();

  // Seeks queued during a replay let it finish.
  picture.Lock();
  Player->RequestSeek(1150);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 1000; }));
  Player->RequestSeek(1150);
  picture.Unlock();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  EXPECT_EQ(Player->LastSampleTime(), 1100u);

  // A pause stops it after the frame being drawn.
  picture.Lock();
  Player->RequestSeek(150);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 0; }));
  ASSERT_TRUE(SafePostThreadMessage(*Player, UM_PAUSE));
  picture.Unlock();
  ASSERT_TRUE(Eventually([&] { return Player->State() == psPaused; }));
  EXPECT_EQ(Player->LastSampleTime(), 0u);
  EXPECT_EQ(PixelAt(0, 0), kRed);
}

TEST_F(TSeekTest, APauseDuringASeekWhilePlayingIsNotUndoneByTheResume) {
  AddTwoGroups();
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  TBackBuffer& picture = Player->BackBuffer();
  picture.Lock();
  Player->RequestSeek(1150);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 1000; }));
  ASSERT_TRUE(SafePostThreadMessage(*Player, UM_PAUSE));
  picture.Unlock();
  ASSERT_TRUE(Eventually([&] { return Player->State() == psPaused; }));
  const uint32_t shown = Player->ShownCount();
  Clock.Advance(5000);
  Settle();
  EXPECT_EQ(Player->State(), psPaused);
  EXPECT_EQ(Player->ShownCount(), shown);
}

TEST_F(TSeekTest, AtTheFrameAlreadyShownNothingIsRendered) {
  AddTwoGroups();
  StartPlayer();
  SeekAndWaitDirty(150);
  const size_t dirty = CountSeen(UM_DIRTY);
  Player->RequestSeek(180);
  Settle();
  ASSERT_FALSE(Params(UM_POSITION).empty());
  EXPECT_EQ(Params(UM_POSITION).back(), 180u);
  EXPECT_EQ(CountSeen(UM_DIRTY), dirty);
  EXPECT_EQ(Player->CurrentTime(), 180u);  // yet the position follows, also when not playing
}

TEST_F(TSeekTest, KeyFrameBufferedButNotTheTargetRendersWhatIsThere) {
  AddTwoGroups();
  StartPlayer();
  SeekAndWaitDirty(150);
  Player->RequestSeek(5000);  // after the last frame; no reader to fetch more
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  EXPECT_EQ(Player->LastSampleTime(), 1200u);
  EXPECT_EQ(PixelAt(30, 30), kWhite);  // drawn from the group's key frame
  EXPECT_EQ(PixelAt(16, 0), kGreen);
  EXPECT_EQ(Context.Frames.FirstTime(), 1000u);  // what came before it is freed
  ASSERT_TRUE(WaitMessage(UM_POSITION));
  EXPECT_EQ(Params(UM_POSITION).back(), 1200u);  // a live source reports the frame shown
  EXPECT_EQ(Player->CurrentTime(), 5000u);
}

TEST_F(TSeekTest, TargetWithoutItsKeyFrameIsLoggedAndDumped) {
  AddKey(0, kRed);
  Context.Index.AddEntry(1000, false, 0);  // its key frame has left the buffer
  AddRect(1100, 0, 0, 8, 8, kBlue);
  AddRect(1200, 0, 0, 8, 8, kGreen);
  StartPlayer();
  SeekAndWaitDirty(50);  // the picture belongs to the group at 0
  Player->RequestSeek(1150);
  ASSERT_TRUE(
      HandleUntil([](const TMessage& m) { return m.Msg == UM_POSITION && m.WParam == 1150; }));
  EXPECT_EQ(PixelAt(0, 0), kRed);  // nothing rendered

  std::ifstream dump(Temp / "dump.txt", std::ios::binary);
  std::ostringstream listing;
  listing << dump.rdbuf();
  EXPECT_EQ(listing.str(), "0,0,Key\r\n1,1100\r\n2,1200\r\n");

  std::ostringstream log;
  for (const auto& entry : std::filesystem::directory_iterator(GlobalLog().Folder()))
    log << std::ifstream(entry.path()).rdbuf();
  EXPECT_NE(log.str().find("KyvPlayer.ocx -> Abnormal buffer"), std::string::npos);
  EXPECT_NE(log.str().find("MinTimeStamp=0, DestKeyTime=1000, msTime=1150, MaxTimeStamp=1200, "
                           "FCurrentIndex=0, FLastSampleTime=0"),
            std::string::npos);
}

TEST_F(TSeekTest, StopAndPauseReturnOnceCarriedOut) {
  AddTwoGroups();
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  Clock.Advance(150);
  ASSERT_TRUE(Player->RequestStop());
  EXPECT_EQ(Player->State(), psStopped);
  EXPECT_EQ(Player->CurrentTime(), 0u);
  EXPECT_EQ(Player->LastSampleTime(), 0u);
  ASSERT_TRUE(Player->RequestPause());
  EXPECT_EQ(Player->State(), psPaused);

  // Once the thread has ended, requests fail instead of waiting.
  Player->Terminate();
  Player->WaitFor();
  EXPECT_FALSE(Player->RequestStop());
  EXPECT_FALSE(Player->RequestSeek(0));
}

}  // namespace
}  // namespace kyv::test
