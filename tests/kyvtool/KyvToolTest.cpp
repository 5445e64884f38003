#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "ToolRun.h"
#include "Verbs.h"
#include "decoder/ReaderErrors.h"
#include "picture/StretchBilinear.h"
#include "support/ChildProcess.h"
#include "support/PngRead.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"
#include "writer/RecordingWriter.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using test::RunVerbs;
using test::SmallSample;
using test::TRun;
using test::TTempDir;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the built tool as a process.
TRun RunProcess(const TTempDir& dir, const std::string& arguments) {
  const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
  const std::string command =
      std::string("'") + KYVTOOL_PATH + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  TRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadText(out);
  run.Err = ReadText(err);
  return run;
}

// The count printed on the line "  NAME   N".
uint64_t CountOf(const std::string& report, const std::string& name) {
  const std::regex line("\n  " + name + " +([0-9]+)\n");
  std::smatch match;
  if (!std::regex_search(report, match, line)) return UINT64_MAX;
  return std::stoull(match[1]);
}

TEST(KyvTool, MakeSampleThenInfoAndCheckAsProcesses) {
  TTempDir dir;
  const std::string path = (dir / "out" / "sample.kyv").string();
  TRun run = RunProcess(dir, "make-sample '" + path + "' --width 320 --height 200 --seconds 7");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_THAT(run.Out, HasSubstr("Wrote " + path + ": 320 x 200, 00:00:07"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out" / "nails.xml"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out" / "nails" / "0002.jpg"));

  run = RunProcess(dir, "check '" + path + "'");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_THAT(run.Out, StartsWith("OK: " + path + ": "));
  EXPECT_EQ(run.Err, "");

  run = RunProcess(dir, "info '" + path + "'");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_THAT(run.Out, HasSubstr("Screen: 320 x 200\n"));
  EXPECT_THAT(run.Out, HasSubstr("Duration: 00:00:07 (7000 ms)\n"));
  EXPECT_THAT(run.Out, HasSubstr("Version: 0x0101\n"));
}

TEST(KyvTool, InfoCountsWhatTheSampleWrote) {
  TTempDir dir;
  const auto path = dir / "s.kyv";
  TSampleOptions options = SmallSample(6);
  options.Version = kKyvVersion100;
  const TSampleSummary summary = WriteSampleRecording(path, options);
  const TRun run = RunVerbs({"info", path.string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  static const char* const types[] = {"ftXorRect", "ftKeyFrame", "ftCursor", "ftCopyRect",
                                      "ftMarker"};
  for (int type = 0; type < 5; ++type)
    EXPECT_EQ(CountOf(run.Out, types[type]), summary.ByType[type]) << types[type];
  static const char* const kinds[] = {"ckNone", "ckJpeg", "ckLzo", "ckZlib", "ckBitmap58"};
  uint64_t payloads = 0;
  for (int kind = 0; kind < 5; ++kind) {
    EXPECT_EQ(CountOf(run.Out, kinds[kind]), summary.ByCompression[kind]) << kinds[kind];
    payloads += CountOf(run.Out, kinds[kind]);
  }
  EXPECT_EQ(CountOf(run.Out, "ckBitmap58"), 1u);
  EXPECT_GT(CountOf(run.Out, "ckJpeg"), 0u);
  EXPECT_LT(payloads, summary.Frames);  // cursor moves and markers carry none
  EXPECT_THAT(run.Out, HasSubstr("Frames: " + std::to_string(summary.Frames) + "\n"));
  EXPECT_THAT(run.Out, HasSubstr("Payload bytes: " + std::to_string(summary.PayloadBytes) + "\n"));
  EXPECT_THAT(run.Out, HasSubstr("Index: 2 entries of 8 bytes, first 0 ms, last 5000 ms\n"));
  EXPECT_THAT(run.Out, HasSubstr("Duration: 00:00:06 (6000 ms)\n"));
}

// Damaged copies of a sound sample: each check fails with exit status 1 and names the fault.
class KyvToolDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    FPath = FDir / "s.kyv";
    WriteSampleRecording(
        FPath, SmallSample(6),
        [&](uint64_t number, const TSampleFrame& frame, uint64_t offset, const TPixels24&) {
          if (frame.Header.Compression == ckZlib && FZlibOffset == 0 && number > 0) {
            FZlibOffset = offset;
            FZlibNumber = number;
          }
        });
    ASSERT_NE(FZlibOffset, 0u);
  }

  TRun Check() { return RunVerbs({"check", FPath.string()}); }

  void ExpectFailure(const std::string& what) {
    const TRun run = Check();
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "kyvtool check: " + FPath.string() + ": " + what + "\n");
  }

  TTempDir FDir;
  std::filesystem::path FPath;
  uint64_t FZlibOffset = 0;
  uint64_t FZlibNumber = 0;
};

TEST_F(KyvToolDamage, ContainerFaultsGiveTheReaderCodes) {
  const uint8_t swapped[] = {0x56, 0x41};
  PatchBytes(FPath, 0, swapped);
  ExpectFailure("error 1: 屏幕流文件被破坏");
  PatchBytes(FPath, 0, std::vector<uint8_t>{0x41, 0x56});
  EXPECT_EQ(Check().Status, 0);

  PatchFileHeader(FPath, [](TFileHeader& h) { h.Version = 0x0102; });
  ExpectFailure("error 14: KyvPlayer 需要升级");
  PatchFileHeader(FPath, [](TFileHeader& h) { h.Version = kKyvVersion101; });

  int64_t original = 0;
  PatchFileHeader(FPath, [&](TFileHeader& h) {
    original = h.IndexOffset;
    h.IndexOffset = 0;
  });
  ExpectFailure("error 2: 屏幕流文件没有索引信息");
  PatchFileHeader(FPath, [&](TFileHeader& h) { h.IndexOffset = original + 4; });
  ExpectFailure(std::string("error 13: ") + ReaderErrorText(reIndexInvalid));
  PatchFileHeader(FPath, [&](TFileHeader& h) { h.IndexOffset = original; });

  TruncateFile(FPath, std::filesystem::file_size(FPath) - 3);
  ExpectFailure("error 15: 读文件失败");
}

TEST_F(KyvToolDamage, CorruptZlibPayloadIsNamed) {
  const uint64_t at = 32 + FZlibOffset + TFrameHeader::kSize;
  PatchBytes(FPath, at, std::vector<uint8_t>{0x00, 0x00});
  const TRun run = Check();
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("record " + std::to_string(FZlibNumber) + " at file offset " +
                                 std::to_string(32 + FZlibOffset) + ": ckZlib payload of "));
  EXPECT_THAT(run.Err, HasSubstr("does not decode: Error\n"));
}

TEST_F(KyvToolDamage, RecordPastTheFrameAreaIsNamed) {
  // The first record is the key frame at offset 32; give it a payload longer than the area.
  PatchBytes(FPath, 32 + 12, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x00});
  const TRun run = Check();
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr(": record 0 at file offset 32: the payload of 16777215 bytes "
                                 "runs past the end of the frame area"));
}

TEST(KyvToolCheck, IndexAndOrderFaults) {
  TTempDir dir;
  const auto path = dir / "i.kyv";
  const std::vector<uint8_t> key = EncodePayload(TPixels24(8, 8, 0x336699), ckZlib);
  const auto write = [&](std::vector<TIndexEntry> index, uint32_t secondTime,
                         TFrameType secondType) {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(100, ftKeyFrame, ckZlib, 0, 0, key);
    writer.AddFrame(secondTime, secondType, ckZlib, 0, 0, key);
    if (!index.empty()) writer.SetIndex(std::move(index));
    writer.Finish();
  };
  const auto check = [&] { return RunVerbs({"check", path.string()}); };

  write({}, 200, ftKeyFrame);
  EXPECT_EQ(check().Status, 0) << check().Err;

  const uint64_t second = TFrameHeader::kSize + key.size();
  write({{100, 0}, {200, second + 1}}, 200, ftKeyFrame);
  EXPECT_THAT(check().Err, HasSubstr("index entry 1 (time 200 ms, offset " +
                                     std::to_string(second + 1) + "): no record starts there"));
  write({{100, 0}, {200, second}}, 200, ftCopyRect);
  EXPECT_THAT(check().Err, HasSubstr("the record there is ftCopyRect, not a key frame"));
  write({{100, 0}, {300, second}}, 200, ftKeyFrame);
  EXPECT_THAT(check().Err, HasSubstr("the key frame there has time 200 ms"));
  write({}, 50, ftCopyRect);
  EXPECT_THAT(check().Err, HasSubstr("record 1 at file offset " + std::to_string(32 + second) +
                                     ": time 50 ms comes before the previous record's 100 ms"));
  EXPECT_EQ(check().Status, 1);

  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckZlib, 0, 0, key);
    writer.AddFrame(10, ftCopyRect, ckNone, 0, 0);
    writer.Finish();
  }
  EXPECT_THAT(check().Err, HasSubstr("record 1 at file offset " + std::to_string(32 + second) +
                                     ": ftCopyRect without payload"));
  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, EncodeBitmapFile(TPixels24(8, 8), 8));
    writer.Finish();
  }
  // The picture is made from the header's size, so a palette key frame draws like any other.
  EXPECT_EQ(check().Status, 0) << check().Err;
  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckZlib, 0, 0, key);
    writer.AddFrame(10, ftCopyRect, ckNone, 0, 0, EncodeBitmapFile(TPixels24(2, 2), 4));
    writer.SetDuration(11);
    writer.Finish();
  }
  EXPECT_THAT(check().Err, HasSubstr("Rectangles of 4 bits per pixel are not drawn"));
  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckZlib, 0, 0, key);
    writer.SetDuration(11);
    writer.Finish();
  }
  EXPECT_THAT(check().Err, HasSubstr("the header's Duration 11 ms differs from the last "
                                     "record's time 0 ms"));
  {
    std::vector<uint8_t> lzo = EncodePayload(TPixels24(8, 8), ckLzo);
    lzo.push_back(0);
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckLzo, 0, 0, lzo);
    writer.Finish();
  }
  EXPECT_THAT(check().Err,
              HasSubstr("record 0 at file offset 32: the LZO stream does not end at the end"));
}

// "check" says OK exactly when the player can show every frame: it applies the picture's own
// rules, so the sizes the player cannot make or fill are refused.
TEST(KyvToolCheck, PictureSizesThePlayerCannotShow) {
  TTempDir dir;
  const auto path = dir / "p.kyv";
  const std::vector<uint8_t> key = EncodePayload(TPixels24(8, 8, 0x336699), ckZlib);
  const auto check = [&](uint16_t width, uint16_t height) {
    {
      TRecordingWriter writer(path, width, height);
      writer.AddFrame(0, ftKeyFrame, ckZlib, 0, 0, key);
      writer.Finish();
    }
    return RunVerbs({"check", path.string()});
  };
  EXPECT_EQ(check(8, 8).Status, 0);
  const struct {
    uint16_t Width, Height;
    const char* Reason;
  } cases[] = {
      {0, 8, "the header's size: a picture of 0 x 8 pixels is not possible"},
      {8, 0, "the header's size: a picture of 8 x 0 pixels is not possible"},
      {65535, 65535, "the header's size: a picture of 65535 x 65535 pixels needs"},
      {16, 8, "A key frame of 8 x 8 pixels does not fit the picture of 16 x 8"},
  };
  for (const auto& c : cases) {
    const TRun run = check(c.Width, c.Height);
    EXPECT_EQ(run.Status, 1) << c.Reason;
    EXPECT_THAT(run.Err, HasSubstr(c.Reason));
  }
}

TDib ReadPicture(const std::filesystem::path& path) {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;
  if (!test::ReadPng(path.string(), width, height, bgr)) return {};
  TDib picture(width, height);
  for (int y = 0; y < height; ++y)
    std::copy_n(bgr.data() + size_t(y) * width * 3, width * 3, picture.Row(y));
  return picture;
}

// render --view writes what the detail view of that size shows: the picture reduced exactly by
// the bilinear repaint in adaptive mode, the picture itself in original mode.
TEST(KyvTool, RenderInAViewScalesThePicture) {
  TTempDir dir;
  const auto path = dir / "s.kyv";
  WriteSampleRecording(path, SmallSample(6));
  const std::string at = "2500";
  ASSERT_EQ(RunVerbs({"render", path.string(), "--at", at, "-o", (dir / "a.png").string()}).Status,
            0);
  TRun run = RunVerbs(
      {"render", path.string(), "--at", at, "--view", "100x100", "-o", (dir / "b.png").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_THAT(run.Out, HasSubstr("in a 100 x 100 view, 99 x 74 at (0, 13), zoom 62%"));
  run = RunVerbs({"render", path.string(), "--at", at, "--view", "100x100", "--mode", "original",
                  "-o", (dir / "c.png").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;

  const TDib whole = ReadPicture(dir / "a.png");
  ASSERT_EQ(whole.Width(), 160);
  TDib expected(99, 74);
  TStretchScratch scratch;
  StretchBilinear(whole.Bits(), whole.Stride(), 160, 120, {0, 0, 160, 120}, expected,
                  {0, 0, 99, 74}, scratch);
  EXPECT_TRUE(ReadPicture(dir / "b.png") == expected);
  EXPECT_TRUE(ReadPicture(dir / "c.png") == whole);

  for (const char* view : {"0x10", "10", "ax5", "5x"})
    EXPECT_EQ(RunVerbs({"render", path.string(), "--at", "0", "--view", view, "-o",
                        (dir / "d.png").string()})
                  .Status,
              2)
        << view;
  EXPECT_EQ(RunVerbs({"render", path.string(), "--at", "0", "--view", "9x9", "--mode", "full", "-o",
                      (dir / "d.png").string()})
                .Status,
            2);
  // A view too small for even one pixel of the picture is an error, not an empty file.
  run = RunVerbs(
      {"render", path.string(), "--at", "0", "--view", "1x1", "-o", (dir / "d.png").string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("too small"));
  EXPECT_FALSE(std::filesystem::exists(dir / "d.png"));
}

TEST(KyvTool, UsageErrors) {
  TTempDir dir;
  EXPECT_EQ(RunVerbs({}).Status, 2);
  TRun run = RunVerbs({"--help"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_THAT(run.Out, HasSubstr("make-sample OUT.kyv"));
  EXPECT_EQ(RunVerbs({"frobnicate"}).Status, 2);
  EXPECT_EQ(RunVerbs({"info"}).Status, 2);
  EXPECT_EQ(RunVerbs({"check", "a", "b"}).Status, 2);
  run = RunVerbs({"make-sample", (dir / "x.kyv").string(), "--width", "abc"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_THAT(run.Err, HasSubstr("--width needs a whole number, not \"abc\""));
  EXPECT_EQ(RunVerbs({"make-sample", (dir / "x.kyv").string(), "--seconds"}).Status, 2);
  EXPECT_EQ(RunVerbs({"make-sample", (dir / "x.kyv").string(), "--width", "10"}).Status, 2);
  EXPECT_EQ(RunVerbs({"make-sample", (dir / "x.kyv").string(), "--colour", "1"}).Status, 2);
  EXPECT_EQ(RunVerbs({"make-sample"}).Status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.kyv"));

  run = RunVerbs({"check", (dir / "missing.kyv").string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("Cannot open"));
  EXPECT_EQ(RunProcess(dir, "").Status, 2);
  EXPECT_EQ(RunProcess(dir, "info").Status, 2);
}

}  // namespace
}  // namespace kyv

namespace kyv {
namespace {

// The headless player on the live road: the station serves the sample over TCP, kyvtool plays
// it as a live broadcast for a while, with snapshots, and stops by itself.
TEST(KyvToolLive, PlaysAStationForAWhile) {
  const TTempDir dir;
  TSampleOptions options;
  options.Width = 160;
  options.Height = 120;
  options.Seconds = 3;
  options.KeyFrameInterval = 1000;
  options.NailInterval = 0;
  WriteSampleRecording(dir / "live.kyv", options);
  // The station binds port 0 and reports the port it got, so nothing can take it meanwhile.
  test::TChildProcess station(
      {KYVSTATION_PATH, (dir / "live.kyv").string(), "--bind", "127.0.0.1", "--port", "0"},
      dir / "station.txt");
  ASSERT_TRUE(station.Started());
  const uint16_t port = test::WaitForReportedPort(
      station, dir / "station.txt", test::kStationServingPattern, std::chrono::seconds(10));
  ASSERT_NE(port, 0) << test::ReadTextFile(dir / "station.txt");

  const TRun run = RunProcess(dir, "play kyvs://127.0.0.1:" + std::to_string(port) +
                                       "/demo --for 1500 --snapshot-every 500 --out '" +
                                       (dir / "snaps").string() + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_THAT(run.Out,
              HasSubstr("Opened kyvs://127.0.0.1:" + std::to_string(port) + "/demo: 160 x 120"));
  EXPECT_THAT(run.Out, HasSubstr("(live: until interrupted)"));
  const std::smatch end = [&] {
    std::smatch m;
    std::regex_search(run.Out, m, std::regex(R"(End at \d+ ms: (\d+) frames shown)"));
    return m;
  }();
  ASSERT_FALSE(end.empty()) << run.Out;
  EXPECT_GT(std::stoi(end[1]), 5);
  EXPECT_GE(std::distance(std::filesystem::directory_iterator(dir / "snaps"),
                          std::filesystem::directory_iterator()),
            2);
}

// The control library registered and unregistered by the tool as a process, into the registry
// folder the environment names; the type library printed whole.
TEST(KyvToolRegistry, RegisterTypelibUnregister) {
  TTempDir dir;
  const std::string root = (dir / "registry").string();
  const std::string env = "KYV_REGISTRY='" + root + "' ";
  const std::string tool = std::string("'") + KYVTOOL_PATH + "'";
  const std::string out = (dir / "out").string();
  auto shell = [&](const std::string& verb) {
    return std::system((env + tool + " " + verb + " >'" + out + "' 2>&1").c_str());
  };
  ASSERT_EQ(shell("register"), 0) << ReadText(out);
  EXPECT_THAT(ReadText(out), ::testing::HasSubstr("registry: " + root + "\n"));
  const std::filesystem::path clsid =
      std::filesystem::path(root) / "CLSID" / "{7FCC3835-8594-4DF7-8A2A-410BFED6808D}";
  EXPECT_EQ(ReadText(clsid / "MiscStatus" / "1" / "@"), "205201");
  EXPECT_EQ(ReadText(clsid / "Verb" / "0" / "@"), "Properties,0,2");

  ASSERT_EQ(shell("typelib"), 0) << ReadText(out);
  const std::string idl = ReadText(out);
  EXPECT_THAT(idl, ::testing::HasSubstr("library KyvPlayerTLB\n"));
  EXPECT_THAT(idl,
              ::testing::HasSubstr("[id(210)] HRESULT OnMouseUp([in] long Button, [in] long x, "
                                   "[in] long y);"));

  ASSERT_EQ(shell("unregister"), 0) << ReadText(out);
  EXPECT_TRUE(std::filesystem::is_empty(root));
  EXPECT_EQ(RunVerbs({"typelib", "/no/such/library.so"}).Status, tool::kExitBad);
  EXPECT_EQ(RunVerbs({"typelib", "--bogus"}).Status, tool::kExitUsage);
}

}  // namespace
}  // namespace kyv
