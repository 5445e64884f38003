// Pacing, speeds, the end of a recording, trims and underruns, with a clock moved by hand.
#include <fstream>
#include <sstream>

#include "PlayHarness.h"
#include "log/Log.h"
#include "writer/PayloadEncoder.h"

namespace kyv::test {
namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

using TPlayLoopTest = TPlayHarness;

TEST_F(TPlayLoopTest, FirstFrameAtOnceThenPacedFromTheBase) {
  AddKey(5000, kRed);
  AddRect(5040, 0, 0, 8, 8, kBlue);
  StartPlayer();
  ASSERT_TRUE(Player->RequestPlay());
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  EXPECT_EQ(Player->LastSampleTime(), 5000u);
  EXPECT_EQ(PixelAt(20, 20), kRed);

  // The position starts at 0, so the next frame waits until the clock has run 5040 ms.
  Clock.Advance(5039);
  Settle();
  EXPECT_EQ(Player->ShownCount(), 1u);
  EXPECT_EQ(PixelAt(2, 2), kRed);
  Clock.Advance(1);
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  EXPECT_EQ(Player->LastSampleTime(), 5040u);
  EXPECT_EQ(PixelAt(2, 2), kBlue);
  EXPECT_EQ(Player->State(), psPlaying);
}

TEST_F(TPlayLoopTest, DirtyRectangleCoversWhatChanged) {
  AddKey(0, kRed);
  AddRect(10, 8, 4, 10, 6, kBlue);
  StartPlayer();
  Player->RequestPlay();
  TMessage dirty;
  ASSERT_TRUE(WaitMessage(UM_DIRTY, &dirty));
  EXPECT_EQ(dirty.WParam, 0u);
  EXPECT_EQ(dirty.LParam, (LPARAM(kWidth) << 16) | kHeight);
  Clock.Advance(10);
  ASSERT_TRUE(WaitMessage(UM_DIRTY, &dirty));
  EXPECT_EQ(dirty.WParam, (WPARAM(8) << 16) | 4);
  EXPECT_EQ(dirty.LParam, (LPARAM(18) << 16) | 10);
}

TEST_F(TPlayLoopTest, PauseFreezesThePositionAndPlayContinuesFromIt) {
  AddKey(0, kRed);
  AddRect(1000, 0, 0, 4, 4, kBlue);
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  Clock.Advance(400);
  ASSERT_TRUE(Player->RequestPause());
  EXPECT_EQ(Player->State(), psPaused);
  EXPECT_EQ(Player->CurrentTime(), 400u);
  Clock.Advance(5000);  // time passing while paused does not count
  Settle();
  EXPECT_EQ(Player->CurrentTime(), 400u);
  EXPECT_EQ(Player->ShownCount(), 1u);
  Player->RequestPlay();
  Taken();
  Clock.Advance(599);
  Settle();
  EXPECT_EQ(Player->ShownCount(), 1u);
  Clock.Advance(1);
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  EXPECT_EQ(Player->LastSampleTime(), 1000u);
}

TEST_F(TPlayLoopTest, FastForwardDoublesUpToThirtyTwoAndASeekResumesAtNormalSpeed) {
  AddKey(0, kRed);
  for (uint32_t t = 100; t <= 10000; t += 100) AddRect(t, 0, 0, 2, 2, t % 200 ? kBlue : kGreen);
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  for (int i = 0; i < 3; ++i) Player->RequestFastForward();
  ASSERT_TRUE(Eventually([&] { return Player->Speed() == 8; }));
  Player->RequestFastForward();
  Player->RequestFastForward();
  ASSERT_TRUE(Eventually([&] { return Player->Speed() == 32; }));
  Player->RequestFastForward();
  Settle();
  EXPECT_EQ(Player->Speed(), 32);

  // At 32 the clock's 100 ms are 3200 ms of recording.
  Taken();
  const uint32_t before = Player->CurrentTime();
  Clock.Advance(100);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() >= before + 3200; }));

  Player->RequestSeek(500);
  ASSERT_TRUE(WaitMessage(UM_POSITION));
  ASSERT_TRUE(Eventually([&] { return Player->Speed() == 1; }));
  EXPECT_EQ(Player->State(), psPlaying);
}

TEST_F(TPlayLoopTest, EndIsPostedOnceWhenTheFrameAtTheDurationIsShown) {
  Context.Header.Duration = 300;
  AddKey(0, kRed);
  AddRect(100, 0, 0, 2, 2, kBlue);
  AddRect(300, 0, 0, 2, 2, kGreen);
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(1000);
  ASSERT_TRUE(WaitMessage(UM_END));
  EXPECT_EQ(Player->LastSampleTime(), 300u);
  EXPECT_EQ(Player->State(), psStopped);
  Clock.Advance(1000);
  Settle();
  EXPECT_EQ(CountSeen(UM_END), 1u);
  EXPECT_EQ(Player->CurrentTime(), 1000u);  // the clock stopped where the loop left
}

TEST_F(TPlayLoopTest, ASeekToTheEndWhilePlayingEnds) {
  Context.Header.Duration = 300;
  AddKey(0, kRed);
  AddRect(100, 0, 0, 2, 2, kBlue);
  AddRect(300, 0, 0, 2, 2, kGreen);
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  Player->RequestSeek(5000);
  ASSERT_TRUE(WaitMessage(UM_END));
  EXPECT_EQ(Player->LastSampleTime(), 300u);
  EXPECT_EQ(Player->State(), psStopped);
}

TEST_F(TPlayLoopTest, LiveSourceWithoutDurationNeverEnds) {
  AddKey(0, kRed);
  AddRect(100, 0, 0, 2, 2, kBlue);
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(500);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 100; }));
  Clock.Advance(5000);
  Settle();
  EXPECT_EQ(CountSeen(UM_END), 0u);
  EXPECT_EQ(Player->State(), psPlaying);
}

TEST_F(TPlayLoopTest, UnderrunKeepsTheClockAndCatchesUpAtOnce) {
  AddKey(0, kRed);
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));
  Clock.Advance(800);
  Settle();
  // Frames that are already due when they arrive are shown back to back, without the clock.
  AddRect(200, 0, 0, 2, 2, kBlue);
  AddRect(400, 2, 0, 2, 2, kGreen);
  AddRect(600, 4, 0, 2, 2, kWhite);
  AddRect(900, 6, 0, 2, 2, kWhite);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 600; }));
  EXPECT_EQ(PixelAt(2, 0), kGreen);
  Settle();
  EXPECT_EQ(Player->LastSampleTime(), 600u);
  Clock.Advance(100);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 900; }));
}

TEST_F(TPlayLoopTest, MarkersAreAnnounced) {
  AddKey(0, kRed);
  AddRecord(Header(10, ftMarker), {});
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(20);
  ASSERT_TRUE(WaitMessage(UM_MARKER));
}

TEST_F(TPlayLoopTest, RefreshPostsTheWholePicture) {
  AddKey(0, kRed);
  StartPlayer();
  Player->RequestRefresh();
  TMessage dirty;
  ASSERT_TRUE(WaitMessage(UM_DIRTY, &dirty));
  EXPECT_EQ(dirty.WParam, 0u);
  EXPECT_EQ(dirty.LParam, (LPARAM(kWidth) << 16) | kHeight);
  EXPECT_EQ(Player->ShownCount(), 0u);  // refreshing while stopped plays nothing
}

TEST_F(TPlayLoopTest, TrimWhilePlayingGoesOnFromTheLastKeyFrame) {
  AddKey(0, kRed);
  AddRect(100, 0, 0, 2, 2, kBlue);
  AddKey(200, kGreen);
  AddRect(300, 0, 0, 2, 2, kWhite);
  StartPlayer();
  Player->RequestPlay();
  ASSERT_TRUE(WaitMessage(UM_DIRTY));  // key frame 0 shown, frame 100 held
  Player->RequestTrim();
  Taken();
  Clock.Advance(250);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 200; }));
  EXPECT_EQ(Context.Frames.FirstTime(), 200u);
  EXPECT_EQ(PixelAt(10, 10), kGreen);
  Clock.Advance(100);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 300; }));
  EXPECT_EQ(PixelAt(0, 0), kWhite);
}

TEST_F(TPlayLoopTest, TrimWithinTheLastGroupKeepsThePosition) {
  AddKey(0, kRed);
  AddRect(100, 0, 0, 2, 2, kBlue);
  AddKey(200, kGreen);
  AddRect(300, 0, 0, 2, 2, kWhite);
  AddRect(400, 2, 0, 2, 2, kBlue);
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(300);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 300; }));
  const uint32_t shown = Player->ShownCount();
  Player->RequestTrim();
  Taken();
  Settle();
  // Only what came before the group went; the group was not drawn again.
  EXPECT_EQ(Context.Frames.FirstTime(), 200u);
  EXPECT_EQ(Player->ShownCount(), shown);
  Clock.Advance(100);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 400; }));
  EXPECT_EQ(Player->ShownCount(), shown + 1);
}

TEST_F(TPlayLoopTest, TrimOutsideThePlayLoopIsIgnored) {
  AddKey(0, kRed);
  AddKey(200, kGreen);
  StartPlayer();
  Player->RequestTrim();
  Settle();
  EXPECT_EQ(Context.Frames.Count(), 2);
}

TEST_F(TPlayLoopTest, AFrameThatCannotBeDecodedIsLoggedAndSkipped) {
  AddKey(0, kRed);
  const std::vector<uint8_t> garbage(64, 0x5A);
  TFrameHeader broken = Header(100, ftKeyFrame, 0, 0, ckZlib);
  AddRecord(broken, garbage);
  AddRecord(Header(150, ftKeyFrame), {});  // a key frame without a picture
  AddRect(200, 0, 0, 2, 2, kBlue);
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(300);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 200; }));
  EXPECT_EQ(PixelAt(0, 0), kBlue);
  EXPECT_EQ(PixelAt(30, 30), kRed);  // the broken key frames changed nothing

  std::ostringstream log;
  for (const auto& entry : std::filesystem::directory_iterator(GlobalLog().Folder()))
    log << std::ifstream(entry.path()).rdbuf();
  EXPECT_NE(log.str().find("Frame at 100 ms skipped"), std::string::npos);
  EXPECT_NE(log.str().find("Frame at 150 ms skipped"), std::string::npos);
}

TEST_F(TPlayLoopTest, EveryCompressionKindPlays) {
  const TPixels24 square(16, 16, kBlue);
  const std::vector<uint8_t> image = EncodeBitmapFile(square, 24);
  AddKey(0, kRed);
  AddRecord(Header(10, ftCopyRect, 0, 0, ckZlib), EncodeZlib(image.data(), image.size()));
  AddRecord(Header(20, ftCopyRect, 16, 0, ckLzo), EncodeLzo(image.data(), image.size()));
  AddRecord(Header(30, ftCopyRect, 32, 0, ckJpeg), EncodeJpeg(square, {.Quality = 100}));
  AddRecord(Header(40, ftCopyRect, 48, 0, ckBitmap58), EncodeBitmap58(kGreen));
  StartPlayer();
  Player->RequestPlay();
  Taken();
  Clock.Advance(50);
  ASSERT_TRUE(Eventually([&] { return Player->LastSampleTime() == 40; }));
  EXPECT_EQ(PixelAt(5, 5), kBlue);
  EXPECT_EQ(PixelAt(20, 5), kBlue);
  const uint32_t jpeg = PixelAt(40, 5);
  EXPECT_GE(jpeg >> 16, 0xF0u);  // JPEG: blue within rounding
  EXPECT_EQ(PixelAt(48, 0), kGreen);
  EXPECT_EQ(PixelAt(49, 0), kRed);
}

}  // namespace
}  // namespace kyv::test
