#include "source/FileThread.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../writer/TempDir.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "decoder/ReaderErrors.h"
#include "platform/Event.h"
#include "platform/LittleEndian.h"
#include "platform/Window.h"
#include "source/FileStream.h"
#include "support/FrameTimes.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"
#include "writer/RecordingFile.h"
#include "writer/RecordingWriter.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using test::TTempDir;

// Only guards against a hang; a passing test never waits this long.
constexpr auto kGuard = 10s;
constexpr int64_t kFar = 0xFFFFFFF0;  // a read target after every record

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// The player's part in these tests: passes every request it gets on to the control window, so
// that the test reads UM_REPLAY in order with the window messages.
class TPlayerStandIn : public TThread {
 public:
  explicit TPlayerStandIn(HWND Wnd) : FWnd(Wnd) {}

 protected:
  void Execute() override {
    TMessage message;
    while (Queue().Get(message)) PostMessage(FWnd, message.Msg, message.WParam, message.LParam);
  }

 private:
  HWND FWnd;
};

// A local file that delivers nothing from Limit on until the test moves Limit, as a file does
// that its writer has not yet extended. Each empty read is announced.
class TStallingStream : public TStream {
 public:
  TStallingStream(const std::string& FileName, std::atomic<uint64_t>& Limit, TEvent& Stalled)
      : FFile(FileName), FLimit(Limit), FStalled(Stalled) {}

  size_t Read(void* buffer, size_t count) override {
    const uint64_t limit = FLimit.load();
    if (FPosition >= limit) {
      FStalled.Set();
      return 0;
    }
    const size_t n = FFile.Read(buffer, std::min<uint64_t>(count, limit - FPosition));
    FPosition += n;
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPosition = static_cast<uint64_t>(FFile.Seek(offset, origin));
    return static_cast<int64_t>(FPosition);
  }

 private:
  TFileStream FFile;
  uint64_t FPosition = 0;
  std::atomic<uint64_t>& FLimit;
  TEvent& FStalled;
};

// A file reader whose streams the test makes: stalling ones, or counting ones.
class TTestFileThread : public TFileThread {
 public:
  explicit TTestFileThread(TPlayContext& Context) : TFileThread(Context) {}

  std::atomic<uint64_t> Limit{UINT64_MAX};
  TEvent Stalled;
  std::atomic<int> StreamsOpened{0};
  TEvent PassEnded;
  // When set, opening waits until Close has called Abort.
  std::atomic<bool> HoldOpenUntilAbort{false};

 protected:
  void DoRead(int64_t Target) override {
    TFileThread::DoRead(Target);
    PassEnded.Set();
  }
  void Abort() override {
    TFileThread::Abort();
    FAborted.Set();
  }
  std::unique_ptr<TStream> OpenStream(const std::string& Address, bool Network) override {
    if (HoldOpenUntilAbort) FAborted.Wait();
    if (Network) return TFileThread::OpenStream(Address, Network);
    ++StreamsOpened;
    return std::make_unique<TStallingStream>(Address, Limit, Stalled);
  }

 private:
  TEvent FAborted;
};

class FileThreadTest : public ::testing::Test {
 protected:
  FileThreadTest() {
    FContext.Wnd = FWindow.Handle();
    FPlayer = TThread::Create<TPlayerStandIn>(FWindow.Handle());
    FContext.PlayerThread = FPlayer.get();
    FReader = TThread::Create<TTestFileThread>(FContext);
    FContext.Reader = FReader.get();
  }

  // The next message to the control window (or a failure after the guard time).
  TMessage Next() {
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    TMessage message;
    while (!FWindow.Queue().Peek(message)) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= 0s) {
        ADD_FAILURE() << "no message reached the control window";
        return {};
      }
      FWindow.Queue().WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(left));
    }
    return message;
  }

  // Opens Path and returns the code: 0 for UM_OPENED, else the UM_SOURCE_ERROR code.
  int OpenCode(const std::filesystem::path& Path) {
    FReader->Open(Path.string());
    const TMessage message = Next();
    if (message.Msg == UM_OPENED) return 0;
    EXPECT_EQ(message.Msg, UM_SOURCE_ERROR);
    return static_cast<int>(message.WParam);
  }

  int32_t NextReplay() {
    const TMessage message = Next();
    EXPECT_EQ(message.Msg, UM_REPLAY);
    return static_cast<int32_t>(static_cast<LPARAM>(message.WParam));
  }

  bool NoWindowMessage() {
    TMessage message;
    return !FWindow.Queue().Peek(message, 0, 0, false);
  }

  std::vector<uint32_t> BufferedTimes() { return test::FrameTimes(FContext.Frames); }

  std::filesystem::path Path(const std::string& Name) const { return FDir / Name; }

  TDecoderUsage FDecoder;  // the control's: still JPEG files decode through it
  TTempDir FDir;
  TWindow FWindow;
  TPlayContext FContext;
  TThreadPtr<TPlayerStandIn> FPlayer;
  TThreadPtr<TTestFileThread> FReader;
};

// Records every 100 ms from FirstTime, a key frame every fifth; payloads of varied size, one of
// them larger than the reader's first buffer.
void WriteTimedRecording(const std::filesystem::path& Path, int Count, uint32_t FirstTime = 0,
                         bool FirstIsKey = true) {
  TRecordingWriter writer(Path, 640, 480);
  std::mt19937 random(7);
  for (int i = 0; i < Count; ++i) {
    const bool key = i % 5 == 0 && (FirstIsKey || i > 0);
    size_t size = 1 + random() % 3000;
    if (i == 7) size = 700 * 1024;
    std::vector<uint8_t> payload(size);
    for (auto& b : payload) b = static_cast<uint8_t>(random());
    writer.AddFrame(FirstTime + static_cast<uint32_t>(i) * 100, key ? ftKeyFrame : ftCopyRect,
                    ckNone, static_cast<uint16_t>(i), 0, payload);
  }
  writer.Finish();
}

std::vector<uint8_t> ValidHeaderBytes(int64_t indexOffset) {
  TFileHeader header{};
  header.Magic[0] = kKyvMagic[0];
  header.Magic[1] = kKyvMagic[1];
  header.Version = kKyvVersion101;
  header.Width = 10;
  header.Height = 10;
  header.IndexOffset = indexOffset;
  std::vector<uint8_t> bytes(TFileHeader::kSize);
  header.Write(bytes.data());
  return bytes;
}

// ---- Opening recordings ------------------------------------------------------------------

TEST_F(FileThreadTest, OpensRecordingInAnyLetterCaseAndLoadsHeaderAndIndex) {
  WriteTimedRecording(Path("a.KyV"), 12);
  ASSERT_EQ(OpenCode(Path("a.KyV")), 0);
  EXPECT_EQ(FContext.Header.Width, 640);
  EXPECT_EQ(FContext.Header.Height, 480);
  EXPECT_EQ(FContext.Header.Duration, 1100u);
  EXPECT_EQ(FContext.Index.Count(), 3u);
  EXPECT_EQ(FContext.Index.TimeAtOrBefore(999), 500);
  EXPECT_EQ(FReader->SourceKind(), skLocalFile);
}

TEST_F(FileThreadTest, ContainerFaultsGiveTheirCodes) {
  WriteTimedRecording(Path("good.kyv"), 6);

  std::filesystem::copy_file(Path("good.kyv"), Path("short.kyv"));
  TruncateFile(Path("short.kyv"), 31);
  EXPECT_EQ(OpenCode(Path("short.kyv")), reReadFailed);

  WriteFile(Path("noindex.kyv"), ValidHeaderBytes(0));
  EXPECT_EQ(OpenCode(Path("noindex.kyv")), reNoIndex);

  WriteFile(Path("pastend.kyv"), ValidHeaderBytes(1000));
  EXPECT_EQ(OpenCode(Path("pastend.kyv")), reReadFailed);

  std::filesystem::copy_file(Path("good.kyv"), Path("magic.kyv"));
  PatchFileHeader(Path("magic.kyv"), [](TFileHeader& h) { std::swap(h.Magic[0], h.Magic[1]); });
  EXPECT_EQ(OpenCode(Path("magic.kyv")), reDamaged);

  std::filesystem::copy_file(Path("good.kyv"), Path("version.kyv"));
  PatchFileHeader(Path("version.kyv"), [](TFileHeader& h) { h.Version = 0x0102; });
  EXPECT_EQ(OpenCode(Path("version.kyv")), reUpgradeNeeded);

  std::filesystem::copy_file(Path("good.kyv"), Path("reserved.kyv"));
  PatchIndexHeader(Path("reserved.kyv"), [](TIndexHeader& h) { h.Reserved[5] = 1; });
  EXPECT_EQ(OpenCode(Path("reserved.kyv")), reIndexInvalid);
}

TEST_F(FileThreadTest, IndexEntryOutsideTheFrameAreaIsAnInvalidIndex) {
  TRecordingWriter writer(Path("a.kyv"), 10, 10);
  writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, std::vector<uint8_t>(10));
  writer.SetIndex({{0, 0}, {100, 5000}});
  writer.Finish();
  EXPECT_EQ(OpenCode(Path("a.kyv")), reIndexInvalid);
}

TEST_F(FileThreadTest, MissingFileIsUnknownFailureWhateverItsExtension) {
  for (const char* name : {"none.kyv", "none.bmp", "none.jpg", "none.kyv2", "none"})
    EXPECT_EQ(OpenCode(Path(name)), reUnknown) << name;
}

TEST_F(FileThreadTest, UnsupportedExtensionFailsBeforeAnyRead) {
  WriteTimedRecording(Path("a.kyv2"), 3);
  FReader->Limit = 0;  // any read would be announced as a stall
  EXPECT_EQ(OpenCode(Path("a.kyv2")), reInvalidFormat);
  EXPECT_EQ(FReader->StreamsOpened.load(), 1);
  EXPECT_FALSE(FReader->Stalled.WaitFor(0ms));
}

TEST_F(FileThreadTest, FailedOpenKeepsThePreviousIndexAndHeader) {
  WriteTimedRecording(Path("good.kyv"), 12);
  ASSERT_EQ(OpenCode(Path("good.kyv")), 0);
  std::filesystem::copy_file(Path("good.kyv"), Path("bad.kyv"));
  PatchIndexHeader(Path("bad.kyv"), [](TIndexHeader& h) { h.Count = 0; });
  EXPECT_EQ(OpenCode(Path("bad.kyv")), reIndexInvalid);
  EXPECT_EQ(FContext.Index.Count(), 3u);
  EXPECT_EQ(FContext.Header.Width, 640);
}

TEST_F(FileThreadTest, ClosedSourceReportsNoOpenFailure) {
  FReader->HoldOpenUntilAbort = true;
  FReader->Open(Path("none.kyv").string());
  FReader->Close();
  EXPECT_TRUE(NoWindowMessage());
}

// ---- Still images --------------------------------------------------------------------------

TPixels24 TwoBands(int width, int height) {
  TPixels24 picture(width, height, 0x0000FF);                         // red
  picture.Fill(0, height / 2, width, height - height / 2, 0xFF0000);  // blue below
  return picture;
}

TEST_F(FileThreadTest, BitmapFilesOpenAsOneKeyFrameTakenAsTheyAre) {
  for (const char* name : {"a.bmp", "b.DIB"}) {
    const std::vector<uint8_t> image = EncodeBitmapFile(TwoBands(33, 20), 24);
    WriteFile(Path(name), image);
    FContext.Reset();
    ASSERT_EQ(OpenCode(Path(name)), 0) << name;
    EXPECT_EQ(FContext.Header.Width, 33);
    EXPECT_EQ(FContext.Header.Height, 20);
    ASSERT_EQ(FContext.Frames.Count(), 1);
    TFramesBuffer::TGuard guard(FContext.Frames);
    const TFrameView frame = FContext.Frames.Items(0);
    EXPECT_EQ(frame.Time(), 0u);
    EXPECT_TRUE(frame.IsKeyFrame());
    EXPECT_EQ(frame.Header().Compression, ckNone);
    EXPECT_EQ(std::vector<uint8_t>(frame.Data().begin(), frame.Data().end()), image);
    EXPECT_EQ(FContext.Index.TimeAtOrBefore(5000), 0);
  }
}

TEST_F(FileThreadTest, JpegFileShowsItsTopRowAtTheTop) {
  TJpegOptions options;
  options.Layout = TJpegLayout::jlUpright;
  options.Quality = 95;
  WriteFile(Path("a.JPEG"), EncodeJpeg(TwoBands(40, 30), options));
  ASSERT_EQ(OpenCode(Path("a.JPEG")), 0);
  EXPECT_EQ(FContext.Header.Width, 40);
  EXPECT_EQ(FContext.Header.Height, 30);
  TFramesBuffer::TGuard guard(FContext.Frames);
  const TFrameView frame = FContext.Frames.Items(0);
  const TPixels24 shown = DecodeBitmapFile(frame.Data().data(), frame.Data().size());
  const uint32_t top = shown.Colour(20, 2);
  const uint32_t bottom = shown.Colour(20, 27);
  EXPECT_GT(top & 0xFF, 200u) << std::hex << top;                // red
  EXPECT_GT((bottom >> 16) & 0xFF, 200u) << std::hex << bottom;  // blue
}

TEST_F(FileThreadTest, StillImageFaults) {
  // Too large a width.
  std::vector<uint8_t> wide = EncodeBitmapFile(TPixels24(4, 4), 24);
  StoreLE<int32_t>(wide.data() + kBitmapInfoOffset + 4, 70000);
  WriteFile(Path("wide.bmp"), wide);
  EXPECT_EQ(OpenCode(Path("wide.bmp")), reUnknown);
  // Not a JPEG at all.
  WriteFile(Path("junk.jpg"), std::vector<uint8_t>(100, 0x55));
  EXPECT_EQ(OpenCode(Path("junk.jpg")), reUnknown);
  // Too short to be a bitmap.
  WriteFile(Path("tiny.bmp"), std::vector<uint8_t>(20, 0));
  EXPECT_EQ(OpenCode(Path("tiny.bmp")), reUnknown);
  EXPECT_EQ(FContext.Frames.Count(), 0);
}

TEST_F(FileThreadTest, OversizedBitmapIsTakenCut) {
  std::vector<uint8_t> image = EncodeBitmapFile(TPixels24(8, 8), 24);
  image.resize(TFileThread::kStillPayloadSize + 4096, 0x11);
  WriteFile(Path("big.bmp"), image);
  ASSERT_EQ(OpenCode(Path("big.bmp")), 0);
  TFramesBuffer::TGuard guard(FContext.Frames);
  EXPECT_EQ(FContext.Frames.Items(0).DataSize(), TFileThread::kStillPayloadSize);
}

// ---- Reading and seeking ---------------------------------------------------------------------

TEST_F(FileThreadTest, DeliversTheFileRecordsInOrder) {
  WriteTimedRecording(Path("a.kyv"), 40);
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  FReader->Read(kFar);
  EXPECT_EQ(NextReplay(), 39);

  const TRecordingFile file(Path("a.kyv"));
  TFrameWalker walker(file, static_cast<uint64_t>(file.ReadHead().Header.IndexOffset));
  TWalkedRecord record;
  std::vector<uint8_t> payload;
  TFramesBuffer::TGuard guard(FContext.Frames);
  int32_t i = 0;
  while (walker.Next(record)) {
    ASSERT_LT(i, FContext.Frames.Count());
    walker.ReadPayload(payload);
    const TFrameView frame = FContext.Frames.Items(i++);
    uint8_t header[TFrameHeader::kSize];
    record.Header.Write(header);
    EXPECT_TRUE(std::equal(header, header + sizeof header, frame.Bytes())) << i;
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.Data().begin())) << i;
  }
  EXPECT_EQ(i, FContext.Frames.Count());
  EXPECT_EQ(FReader->BufferFill(), 0u);
}

TEST_F(FileThreadTest, SeekSignalsTheRecordWherePlaybackStarts) {
  WriteTimedRecording(Path("a.kyv"), 23);  // 0 .. 2200, key frames at 0, 500, ... 2000
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);

  FReader->Seek(1300);  // exact: key 1000, then 1100, 1200, 1300
  EXPECT_EQ(NextReplay(), 3);
  EXPECT_EQ(BufferedTimes().front(), 1000u);

  FReader->Seek(1750);  // between 1700 and 1800: the earlier one
  EXPECT_EQ(NextReplay(), 2);
  EXPECT_EQ(BufferedTimes().front(), 1500u);

  FReader->Seek(500);  // the key frame itself
  EXPECT_EQ(NextReplay(), 0);

  FReader->Seek(9999);  // after the last record: the last one, once the area is read
  EXPECT_EQ(NextReplay(), 2);
  EXPECT_EQ(BufferedTimes(), (std::vector<uint32_t>{2000, 2100, 2200}));
}

TEST_F(FileThreadTest, SeekBeforeTheFirstKeyFrameStartsAtIt) {
  WriteTimedRecording(Path("a.kyv"), 12, 300, false);  // records from 300, first key at 800
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  ASSERT_EQ(FContext.Index.FirstTime(), 800);
  FReader->Seek(100);
  EXPECT_EQ(NextReplay(), 0);
  EXPECT_EQ(BufferedTimes().front(), 800u);
}

TEST_F(FileThreadTest, ReadAheadStopsAtTheBufferBudget) {
  // 40 key frames of 300 KiB: 12 MiB in all.
  constexpr int64_t kRecordBytes = 28 + 300 * 1024;
  TRecordingWriter writer(Path("a.kyv"), 10, 10);
  for (uint32_t i = 0; i < 40; ++i)
    writer.AddFrame(i * 100, ftKeyFrame, ckNone, 0, 0, std::vector<uint8_t>(300 * 1024, 1));
  writer.Finish();
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  FReader->Seek(0);
  EXPECT_EQ(NextReplay(), 0);
  ASSERT_TRUE(FReader->PassEnded.WaitFor(kGuard));
  EXPECT_TRUE(FContext.Frames.IsFull());
  // The pass stopped with the record that filled the budget.
  EXPECT_LT(FContext.Frames.TotalBytes() - kRecordBytes, TFramesBuffer::kFullBytes);
  const int32_t count = FContext.Frames.Count();

  FReader->Read(-1);  // full already: nothing is read
  ASSERT_TRUE(FReader->PassEnded.WaitFor(kGuard));
  EXPECT_EQ(FContext.Frames.Count(), count);
}

TEST_F(FileThreadTest, RecordRunningPastTheFrameAreaIsReportedDamaged) {
  TRecordingWriter writer(Path("a.kyv"), 10, 10);
  writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, std::vector<uint8_t>(100, 1));
  TFrameHeader header{};
  header.Time = 100;
  header.DataSize = 0xFFFFFFF0;
  std::vector<uint8_t> bytes(TFrameHeader::kSize + 10);
  header.Write(bytes.data());
  writer.AddRawBytes(bytes);
  writer.Finish();
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  FReader->Read(kFar);
  const TMessage message = Next();
  EXPECT_EQ(message.Msg, UM_SOURCE_ERROR);
  EXPECT_EQ(message.WParam, static_cast<WPARAM>(reDamaged));
  EXPECT_EQ(FContext.Frames.Count(), 1);
}

TEST_F(FileThreadTest, EmptyReadsAreRetriedUntilTheFileGrows) {
  WriteTimedRecording(Path("a.kyv"), 20);
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  FReader->Limit = 32 + 2000;  // a few records only
  FReader->Read(kFar);
  ASSERT_TRUE(FReader->Stalled.WaitFor(kGuard));
  FReader->Limit = UINT64_MAX;
  EXPECT_EQ(NextReplay(), 19);
}

TEST_F(FileThreadTest, CloseEndsAPassThatKeepsGettingNothing) {
  WriteTimedRecording(Path("a.kyv"), 20);
  ASSERT_EQ(OpenCode(Path("a.kyv")), 0);
  FReader->Limit = 32 + 2000;
  FReader->Read(-1);
  ASSERT_TRUE(FReader->Stalled.WaitFor(kGuard));
  FReader->Close();
  EXPECT_TRUE(NoWindowMessage());
  EXPECT_EQ(FContext.Frames.Count(), 0);
}

TEST_F(FileThreadTest, NetworkAddressWithoutNetworkStreamFailsCleanly) {
  EXPECT_NE(OpenCode("http://127.0.0.1:9/a.kyv"), 0);
}

}  // namespace
}  // namespace kyv
