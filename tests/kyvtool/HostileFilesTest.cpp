// What a user sees when a recording, a server or a station is hostile: every run ends in
// bounded time with exit status 1 and a reason a person can act on.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "HeadlessPlayer.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "Verbs.h"
#include "decoder/Limits.h"
#include "decoder/ReaderErrors.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "support/ScriptedHttpServer.h"
#include "writer/PayloadEncoder.h"
#include "writer/RecordingWriter.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using test::RunVerbs;
using test::SmallSample;
using test::TRun;
using test::TTempDir;
using ::testing::HasSubstr;

// Moves a manual clock on by StepMs every few milliseconds, so that the readers' time-outs of
// seconds pass in a blink.
class TClockDriver {
 public:
  explicit TClockDriver(uint32_t StepMs)
      : FThread([this, StepMs] {
          while (!FStop.load()) {
            FClock.Advance(StepMs);
            std::this_thread::sleep_for(2ms);
          }
        }) {}
  ~TClockDriver() {
    FStop.store(true);
    FThread.join();
  }
  TClockDriver(const TClockDriver&) = delete;
  TClockDriver& operator=(const TClockDriver&) = delete;

 private:
  TManualClock FClock{1};
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

TEST(HostileFiles, ANamedPipeIsRefusedAtOnceByEveryVerb) {
  TTempDir dir;
  const std::string fifo = (dir / "pipe.kyv").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", fifo},
        {"check", fifo},
        {"play", fifo},
        {"render", fifo, "--at", "0", "-o", (dir / "x.png").string()}}) {
    const TRun run = RunVerbs(args);
    EXPECT_EQ(run.Status, 1) << args[0];
    EXPECT_THAT(run.Err, HasSubstr("it is a named pipe, not a regular file")) << args[0];
  }
  // The player's message carries the cannot-open code with the reason.
  EXPECT_THAT(RunVerbs({"play", fifo}).Err,
              HasSubstr("cannot open " + fifo + ": error 6, " + ReaderErrorText(reUnknown)));
}

TEST(HostileFiles, ARecordClaimingGigabytesInASparseFileIsDamage) {
  TTempDir dir;
  const auto path = dir / "sparse.kyv";
  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckZlib, 0, 0, EncodePayload(TPixels24(8, 8), ckZlib));
    writer.Finish();
  }
  // A 3 GiB frame area, all holes, whose first record claims 2.9 GiB; the index moves to its end.
  const int64_t oldArea = TFileHeader::Read(ReadBytes(path, 0, 32).data()).IndexOffset;
  const uint64_t indexSize = std::filesystem::file_size(path) - 32 - uint64_t(oldArea);
  const std::vector<uint8_t> index = ReadBytes(path, 32 + uint64_t(oldArea), indexSize);
  const int64_t area = int64_t{3} << 30;
  PatchBytes(path, 32 + uint64_t(area), index);
  PatchFileHeader(path, [&](TFileHeader& h) { h.IndexOffset = area; });
  uint8_t size[4];
  StoreLE<uint32_t>(size, 0xB9999999u);
  PatchBytes(path, 32 + offsetof(TFrameHeader, DataSize), size);

  const std::string limit = std::to_string(kMaxRecordBytes);
  const TRun render =
      RunVerbs({"render", path.string(), "--at", "0", "-o", (dir / "x.png").string()});
  EXPECT_EQ(render.Status, 1);
  EXPECT_THAT(render.Err, HasSubstr("error 1, " + std::string(ReaderErrorText(reDamaged))));
  EXPECT_THAT(render.Err, HasSubstr("the record at file offset 32 claims 3113851317 bytes, more "
                                    "than the " +
                                    limit + " a record may have"));
  const TRun check = RunVerbs({"check", path.string()});
  EXPECT_EQ(check.Status, 1);
  EXPECT_THAT(check.Err, HasSubstr("is more than the " + limit + " a record may have"));
}

// Times that no seek can make sense of end "render" at once, each with its reason.
TEST(HostileFiles, RenderFailsAtOnceWhenDamagedTimesMakeTheTargetUnreachable) {
  TTempDir dir;
  const auto path = dir / "t.kyv";
  const std::vector<uint8_t> key = EncodePayload(TPixels24(8, 8, 0x336699), ckZlib);
  const std::vector<uint8_t> rect = EncodePayload(TPixels24(2, 2, 0x112233), ckZlib);
  const uint64_t secondKey = 2 * TFrameHeader::kSize + key.size() + rect.size();
  const struct {
    uint32_t Times[4];
    std::vector<TIndexEntry> Index;
    uint32_t At;
    std::string Reason;  // "" for a sound recording
  } cases[] = {
      {{0, 500, 1000, 1500}, {}, 1200, ""},
      {{0x7FFFFFF0, 500, 1000, 1500},
       {{0, 0}, {1000, secondKey}},
       300,
       "error 13, 屏幕流索引表无效 (the screen stream index table is invalid): the record at file "
       "offset 32 is not the key frame of 0 ms that the index places there"},
      {{0, 500, 1000, 1500},
       {{0x7FFFFFF0, 0}, {1000, secondKey}},
       300,
       "the index starts at 2147483632 ms, after the duration of 1500 ms"},
      {{0, 500, 1000, 200},
       {},
       1300,
       "error 1, 屏幕流文件被破坏 (the screen stream file is damaged): the record at file offset " +
           std::to_string(32 + secondKey + key.size() + TFrameHeader::kSize) +
           " has time 200 ms, before the previous record's 1000 ms"},
  };
  for (const auto& c : cases) {
    {
      TRecordingWriter writer(path, 8, 8);
      writer.AddFrame(c.Times[0], ftKeyFrame, ckZlib, 0, 0, key);
      writer.AddFrame(c.Times[1], ftCopyRect, ckZlib, 0, 0, rect);
      writer.AddFrame(c.Times[2], ftKeyFrame, ckZlib, 0, 0, key);
      writer.AddFrame(c.Times[3], ftCopyRect, ckZlib, 0, 0, rect);
      if (!c.Index.empty()) writer.SetIndex(c.Index);
      writer.SetDuration(1500);
      writer.Finish();
    }
    const auto started = std::chrono::steady_clock::now();
    const TRun run = RunVerbs(
        {"render", path.string(), "--at", std::to_string(c.At), "-o", (dir / "x.png").string()});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << c.Reason;
    EXPECT_EQ(run.Status, c.Reason.empty() ? 0 : 1) << run.Err;
    EXPECT_THAT(run.Err, HasSubstr(c.Reason));
  }
}

// A file cut short while it plays: the reader stops asking after the stall time-out, the
// position waits at the last picture delivered, and "play" ends with status 1 and the reason.
TEST(HostileFiles, AFileCutWhilePlayingEndsPlayWithTheReason) {
  TTempDir dir;
  const auto path = dir / "cut.kyv";
  WriteSampleRecording(path, SmallSample(6));
  const uint64_t full = std::filesystem::file_size(path);
  {
    TClockDriver clock(200);
    tool::THeadlessPlayer player;
    player.Open(path.string());
    TruncateFile(path, full / 2);
    player.Play(1);
    try {
      player.Pump(10s);
      FAIL() << "the cut file played on";
    } catch (const EKyvError& e) {
      EXPECT_EQ(e.Code(), reReadFailed);
      EXPECT_THAT(e.what(), HasSubstr("cannot go on playing " + path.string() + ": error 15, "));
      EXPECT_THAT(e.what(), HasSubstr("could be read for 15 s"));
    }
    // Never beyond what the source delivered.
    EXPECT_LE(player.Player().CurrentTime(), player.Context().Frames.LastTime());
    EXPECT_LT(player.Player().CurrentTime(), player.Context().Header.Duration);
  }
  WriteSampleRecording(path, SmallSample(6));
  TruncateFile(path, full / 2);
  TClockDriver clock(200);
  const TRun run = RunVerbs({"play", path.string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("error 15, " + std::string(ReaderErrorText(reReadFailed))));
}

// A web server that starts failing after the open is asked again ever less often, and after the
// stall time-out the player hears code 15 with the server's answer as the reason.
TEST(HostileFiles, AServerThatStartsFailingIsNotHammeredAndGivesTheReason) {
  TTempDir dir;
  // Larger than the stream's first range, so the picture near the end must be asked for after
  // the server has started failing (the play thread reads nothing before it is asked to).
  TSampleOptions options = SmallSample(6);
  options.Width = 640;
  options.Height = 480;
  options.Seconds = 60;
  WriteSampleRecording(dir / "web.kyv", options);
  ASSERT_GT(std::filesystem::file_size(dir / "web.kyv"), uint64_t{1} << 20);
  std::ifstream in(dir / "web.kyv", std::ios::binary);
  std::vector<uint8_t> content((std::istreambuf_iterator<char>(in)), {});
  test::TScriptedHttpServer server(content);
  ASSERT_TRUE(server.Started());
  TClockDriver clock(100);
  tool::THeadlessPlayer player;
  player.Open(server.Url("/web.kyv"));
  const size_t before = server.Requests().size();
  server.SetBehaviour(test::THttpBehaviour::NotFound);
  try {
    player.RenderAt(59000, 20s);
    FAIL() << "rendered from a failing server";
  } catch (const EKyvError& e) {
    EXPECT_EQ(e.Code(), reReadFailed);
    EXPECT_THAT(e.what(), HasSubstr(": error 15, "));
    EXPECT_THAT(e.what(), HasSubstr(": HTTP 404 for bytes "));
  }
  // Back-off: about 300 ms, then twice as long each time, up to 5 s, over 15 s.
  EXPECT_LE(server.Requests().size() - before, 10u);
}

// "--for" bounds the whole run: a station that never answers the login cannot hold it.
TEST(HostileFiles, PlayForBoundsTheOpeningToo) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string url = "kyvs://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
  const auto started = std::chrono::steady_clock::now();
  const TRun run = RunVerbs({"play", url, "--for", "300"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("did not answer within 300 ms"));
  ::close(listener);
}

}  // namespace
}  // namespace kyv
