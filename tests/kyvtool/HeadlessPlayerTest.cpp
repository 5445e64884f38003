// The whole road of a recording, from its address to the picture, checked against the pictures
// the recording's writer meant: local files and a real web server, seeks in every direction and
// playback to the end.
#include <fstream>
#include <memory>

#include <gmock/gmock.h>

#include "GroundTruth.h"
#include "HeadlessPlayer.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "support/LatencyProxy.h"
#include "support/NginxServer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TempFolder.h"
#include "writer/BitmapWriter.h"
#include "writer/SampleRecording.h"

namespace kyv::test {
namespace {

using ::testing::EndsWith;
using ::testing::StartsWith;
using tool::THeadlessPlayer;

// JPEG rectangles need no tolerance: the meant pictures decode every JPEG payload through the
// same decoder as the player, so the comparison is exact for every kind.
class THeadlessPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FFolder = std::make_unique<TTempFolder>("kyv_headless");
    FOptions.Width = 320;
    FOptions.Height = 240;
    FOptions.Seconds = 12;
    FOptions.KeyFrameInterval = 4000;
    FOptions.NailInterval = 0;
    WriteSampleRecording(FFolder->Path() / "sample.kyv", FOptions);
    FTruth = std::make_unique<TGroundTruth>(FOptions);
  }
  static void TearDownTestSuite() {
    FTruth.reset();
    FFolder.reset();
  }

  static std::string LocalAddress() { return (FFolder->Path() / "sample.kyv").string(); }

  // Seeks to each time in turn and compares every picture with the meant one.
  static void RenderEach(THeadlessPlayer& Player, std::initializer_list<uint32_t> Times) {
    for (const uint32_t wanted : Times) {
      const uint32_t time = wanted;
      Player.RenderAt(time);
      TBackBuffer& picture = Player.Player().BackBuffer();
      std::lock_guard lock(picture);
      EXPECT_EQ(Player.Player().LastSampleTime(), FTruth->FrameTimeAt(time)) << "at " << time;
      // A key frame carries neither the cursor's shape nor its place, so after a seek the cursor
      // keeps the shape it had: its place is checked when the group placed it, the pixels
      // beneath it are not.
      const TGroundTruth::TMeant& meant = FTruth->At(time);
      const TVirtualMouse& mouse = *picture.Mouse();
      const TRect cursor = mouse.Visible() ? mouse.Bounds() : TRect{};
      EXPECT_TRUE(
          SamePicture(picture.Picture(), meant.Picture, UnionRect(cursor, meant.CursorBounds)))
          << "at " << time;
      if (!meant.CursorPlacedInGroup) continue;
      EXPECT_EQ(mouse.Visible(), !meant.CursorBounds.IsEmpty()) << "at " << time;
      if (mouse.Visible() && !meant.CursorBounds.IsEmpty()) {
        EXPECT_EQ(std::make_pair(mouse.X(), mouse.Y()),
                  std::make_pair(meant.CursorBounds.Left, meant.CursorBounds.Top))
            << "at " << time;
      }
    }
  }

  static void PlayToEndAndCompare(THeadlessPlayer& Player) {
    Player.Player().RequestPlay();
    for (int i = 0; i < 5; ++i) Player.Player().RequestFastForward();
    ASSERT_TRUE(Player.Pump(std::chrono::seconds(30), [&] { return Player.Ended(); }));
    TBackBuffer& picture = Player.Player().BackBuffer();
    std::lock_guard lock(picture);
    EXPECT_EQ(Player.Player().LastSampleTime(), FTruth->FrameTimeAt(UINT32_MAX));
    EXPECT_TRUE(SamePicture(picture.Picture(), FTruth->At(UINT32_MAX).Picture));
    EXPECT_EQ(Player.Player().State(), psStopped);
  }

  static std::unique_ptr<TTempFolder> FFolder;
  static TSampleOptions FOptions;
  static std::unique_ptr<TGroundTruth> FTruth;
};

std::unique_ptr<TTempFolder> THeadlessPlayerTest::FFolder;
TSampleOptions THeadlessPlayerTest::FOptions;
std::unique_ptr<TGroundTruth> THeadlessPlayerTest::FTruth;

TEST_F(THeadlessPlayerTest, SeeksEverywhereShowTheMeantPictures) {
  THeadlessPlayer player;
  player.Open(LocalAddress());
  // Forwards within a group, backwards within it, into later and earlier groups, to the start,
  // past the end, and to times before and after key frames.
  RenderEach(player, {2500, 3100, 1200, 9500, 4001, 3999, 0, 11000, 20000, 7000, 6990, 8150, 8501});
}

TEST_F(THeadlessPlayerTest, SeeksPiledUpWhileLoadingEndAtTheLast) {
  THeadlessPlayer player;
  player.Open(LocalAddress());
  // Targets in other groups, the same moment twice, and times between the same two frames.
  player.Player().RequestSeek(9500);
  player.Player().RequestSeek(1200);
  player.Player().RequestSeek(7000);
  RenderEach(player, {5100, 5100, 2500, 2510, 2500});
}

TEST_F(THeadlessPlayerTest, StillImagesRender) {
  TPixels24 still(40, 30, 0x336699);
  still.Fill(5, 5, 10, 10, 0xFFFFFF);
  const std::vector<uint8_t> bmp = EncodeBitmapFile(still, 24);
  const auto path = FFolder->Path() / "still.bmp";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  THeadlessPlayer player;
  player.Open(path.string());
  player.RenderAt(0);
  TBackBuffer& picture = player.Player().BackBuffer();
  std::lock_guard lock(picture);
  EXPECT_TRUE(SamePicture(picture.Picture(), still));
}

TEST_F(THeadlessPlayerTest, AnInvalidMulticastDescriptionFailsToOpen) {
  const auto path = FFolder->Path() / "bad.sms";
  std::ofstream(path) << "[Address]\nip=239.1.1.1\n";  // no port
  THeadlessPlayer player;
  try {
    player.Open(path.string());
    FAIL() << "an invalid description opened";
  } catch (const EKyvError& e) {
    ASSERT_TRUE(e.Code().has_value());
    EXPECT_EQ(*e.Code(), reInvalidMulticastFile);
  }
  EXPECT_FALSE(player.IsOpen());
}

TEST_F(THeadlessPlayerTest, EveryMomentRendersFromAFreshStart) {
  for (uint32_t t = 100; t < 12000; t += 350) {
    THeadlessPlayer player;
    player.Open(LocalAddress());
    RenderEach(player, {t});
  }
}

TEST_F(THeadlessPlayerTest, PlayingToTheEndShowsTheLastPictureAndEndsOnce) {
  THeadlessPlayer player;
  size_t ends = 0;
  THeadlessPlayer::TListener listener;
  listener.End = [&] { ++ends; };
  player.SetListener(listener);
  player.Open(LocalAddress());
  PlayToEndAndCompare(player);
  player.Pump(std::chrono::milliseconds(100));
  EXPECT_EQ(ends, 1u);
}

TEST_F(THeadlessPlayerTest, StopThenPlayStartsAgainFromTheBeginning) {
  THeadlessPlayer player;
  player.Open(LocalAddress());
  TPlayThread& thread = player.Player();
  thread.RequestPlay();
  for (int i = 0; i < 5; ++i) thread.RequestFastForward();
  ASSERT_TRUE(
      player.Pump(std::chrono::seconds(30), [&] { return thread.LastSampleTime() > 6000; }));
  ASSERT_TRUE(thread.RequestStop());
  EXPECT_EQ(thread.CurrentTime(), 0u);
  EXPECT_EQ(thread.LastSampleTime(), 0u);
  EXPECT_EQ(player.Context().Frames.Count(), 0);  // the reader rewound and let go of its frames

  const uint32_t shown = thread.ShownCount();
  thread.RequestPlay();
  ASSERT_TRUE(player.Pump(std::chrono::seconds(30), [&] { return thread.ShownCount() > shown; }));
  EXPECT_LT(thread.LastSampleTime(), 1000u);  // delivered anew from the start
  thread.RequestPause();
  RenderEach(player, {500});
}

TEST_F(THeadlessPlayerTest, SeekWhilePlayingGoesOnFromTheTarget) {
  THeadlessPlayer player;
  player.Open(LocalAddress());
  TPlayThread& thread = player.Player();
  thread.RequestPlay();
  thread.RequestSeek(8000);
  ASSERT_TRUE(
      player.Pump(std::chrono::seconds(30), [&] { return thread.LastSampleTime() >= 8000; }));
  EXPECT_GE(thread.CurrentTime(), 8000u);
  EXPECT_EQ(thread.State(), psPlaying);
}

TEST_F(THeadlessPlayerTest, BadSourcesReportTheirCode) {
  THeadlessPlayer player;
  try {
    player.Open((FFolder->Path() / "missing.kyv").string());
    FAIL() << "a missing file opened";
  } catch (const EKyvError& e) {
    // The code, its text as the system writes it, and the reason a person can act on.
    ASSERT_TRUE(e.Code().has_value());
    const std::string address = (FFolder->Path() / "missing.kyv").string();
    EXPECT_THAT(e.what(),
                StartsWith("cannot open " + address + ": error 6, " + ReaderErrorText(reUnknown)));
    EXPECT_THAT(e.what(),
                EndsWith(": Cannot open file \"" + address + "\": No such file or directory"));
  }
  EXPECT_FALSE(player.IsOpen());
  // The player can open something else afterwards.
  player.Open(LocalAddress());
  RenderEach(player, {100});
}

class THeadlessWebTest : public THeadlessPlayerTest {
 protected:
  static void SetUpTestSuite() {
    THeadlessPlayerTest::SetUpTestSuite();
    FServer = std::make_unique<TNginxServer>(FFolder->Path());
  }
  static void TearDownTestSuite() {
    FServer.reset();
    THeadlessPlayerTest::TearDownTestSuite();
  }
  void SetUp() override {
    if (!FServer->Started()) GTEST_SKIP() << "nginx is not available: " << FServer->Reason();
  }
  static std::unique_ptr<TNginxServer> FServer;
};

std::unique_ptr<TNginxServer> THeadlessWebTest::FServer;

TEST_F(THeadlessWebTest, SeeksAndPlaybackOverHttpShowTheMeantPictures) {
  THeadlessPlayer player;
  player.Open(FServer->Url("sample.kyv"));
  EXPECT_EQ(player.Reader().SourceKind(), skWebFile);
  RenderEach(player, {5100, 1500, 10100});
  PlayToEndAndCompare(player);
}

TEST_F(THeadlessWebTest, ServerIgnoringRangesSendsTheRecordingAtMostTwiceForAPlay) {
  std::ifstream file(FFolder->Path() / "sample.kyv", std::ios::binary);
  std::vector<uint8_t> content{std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>()};
  const uint64_t size = content.size();
  TScriptedHttpServer server(std::move(content));
  server.SetBehaviour(THttpBehaviour::IgnoreRange);
  // Counts what the server sends.
  TLatencyProxy counter(server.Port(), std::chrono::milliseconds(0));
  ASSERT_TRUE(server.Started() && counter.Started());
  THeadlessPlayer player;
  player.Open(counter.Url("sample.kyv"));
  RenderEach(player, {0});
  PlayToEndAndCompare(player);
  EXPECT_LE(counter.BytesFromServer(), 2 * size + 64 * 1024);
}

}  // namespace
}  // namespace kyv::test
