#include "writer/RecordingWriter.h"

#include <filesystem>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "writer/RecordingFile.h"

namespace kyv {
namespace {

using test::TTempDir;
using ::testing::HasSubstr;

std::vector<uint8_t> Bytes(size_t count, uint8_t first) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

struct TWritten {
  std::vector<TFrameHeader> Headers;
  std::vector<std::vector<uint8_t>> Payloads;
  std::vector<uint64_t> Offsets;
};

// Key frames at 0 and 2000 (twice: the second at 2000 adds no entry), a rectangle with mouse
// position, a cursor move, and a marker last.
TWritten WriteFive(TRecordingWriter& writer) {
  TWritten written;
  const auto add = [&](uint32_t time, TFrameType type, TCompression kind, uint16_t left,
                       uint16_t top, std::vector<uint8_t> payload, uint16_t mx = 0,
                       uint16_t my = 0) {
    written.Offsets.push_back(writer.AddFrame(time, type, kind, left, top, payload, mx, my));
    TFrameHeader header{};
    header.Time = time;
    header.Left = left;
    header.Top = top;
    header.FrameType = type;
    header.Compression = kind;
    header.DataSize = static_cast<uint32_t>(payload.size());
    header.MouseX = mx;
    header.MouseY = my;
    written.Headers.push_back(header);
    written.Payloads.push_back(std::move(payload));
  };
  add(0, ftKeyFrame, ckZlib, 0, 0, Bytes(100, 1));
  add(40, ftCopyRect, ckLzo, 10, 20, Bytes(7, 50), 300, 200);
  add(2000, ftKeyFrame, ckJpeg, 0, 0, Bytes(33, 9));
  add(2000, ftKeyFrame, ckNone, 0, 0, Bytes(5, 9));
  add(2100, ftCursor, ckNone, 17, 18, {});
  add(2500, ftMarker, ckNone, 0, 0, {});
  return written;
}

class RecordingWriterVersions : public ::testing::TestWithParam<int16_t> {};

TEST_P(RecordingWriterVersions, RecordsAndIndexReadBack) {
  TTempDir dir;
  const auto path = dir / "a.kyv";
  TRecordingWriter writer(path, 640, 480, GetParam());
  const TWritten written = WriteFive(writer);
  writer.Finish();

  const uint64_t area = writer.FrameAreaSize();
  EXPECT_EQ(area, 6 * TFrameHeader::kSize + 100 + 7 + 33 + 5);
  const size_t entrySize = GetParam() == kKyvVersion101 ? 16 : 8;
  EXPECT_EQ(std::filesystem::file_size(path), 32 + area + 16 + 2 * entrySize);

  TRecordingFile file(path);
  const TRecordingHead head = file.ReadHead();
  const int64_t indexOffset = head.Header.IndexOffset;
  const uint32_t duration = head.Header.Duration;
  EXPECT_EQ(head.Header.Version, GetParam());
  EXPECT_EQ(head.Header.Width, 640);
  EXPECT_EQ(head.Header.Height, 480);
  EXPECT_EQ(duration, 2500u);
  EXPECT_EQ(indexOffset, static_cast<int64_t>(area));
  ASSERT_EQ(head.Index.size(), 2u);
  EXPECT_EQ(head.Index[0].Time, 0u);
  EXPECT_EQ(head.Index[0].Offset, 0u);
  EXPECT_EQ(head.Index[1].Time, 2000u);
  EXPECT_EQ(head.Index[1].Offset, written.Offsets[2]);

  TFrameWalker walker(file, area);
  TWalkedRecord record;
  std::vector<uint8_t> payload;
  size_t count = 0;
  while (walker.Next(record)) {
    ASSERT_LT(count, written.Headers.size());
    const TFrameHeader& want = written.Headers[count];
    EXPECT_EQ(record.Number, count);
    EXPECT_EQ(record.FileOffset, 32 + written.Offsets[count]);
    EXPECT_EQ(record.Header.Time, want.Time);
    EXPECT_EQ(record.Header.Left, want.Left);
    EXPECT_EQ(record.Header.Top, want.Top);
    EXPECT_EQ(record.Header.FrameType, want.FrameType);
    EXPECT_EQ(record.Header.Compression, want.Compression);
    EXPECT_EQ(record.Header.DataSize, want.DataSize);
    EXPECT_EQ(record.Header.MouseX, want.MouseX);
    EXPECT_EQ(record.Header.MouseY, want.MouseY);
    walker.ReadPayload(payload);
    EXPECT_EQ(payload, written.Payloads[count]);
    ++count;
  }
  EXPECT_EQ(count, written.Headers.size());
}

INSTANTIATE_TEST_SUITE_P(AllVersions, RecordingWriterVersions,
                         ::testing::Values(kKyvVersion0, kKyvVersion100, kKyvVersion101));

TEST(RecordingWriter, OverridesAndTheFinishedState) {
  TTempDir dir;
  const auto path = dir / "b.kyv";
  TRecordingWriter writer(path, 8, 8, kKyvVersion0);
  writer.AddFrame(100, ftCopyRect, ckNone, 0, 0, Bytes(4, 0));
  writer.SetIndex({{5, 0}, {3, 999999}});  // anything at all, as a damaged file has it
  writer.SetDuration(77);
  writer.Finish();
  EXPECT_THROW(writer.AddFrame(200, ftMarker, ckNone, 0, 0), EKyvError);

  const TRecordingHead head = TRecordingFile(path).ReadHead();
  const uint32_t duration = head.Header.Duration;
  EXPECT_EQ(duration, 77u);
  ASSERT_EQ(head.Index.size(), 2u);
  EXPECT_EQ(head.Index[1].Time, 3u);
  EXPECT_EQ(head.Index[1].Offset, 999999u);

  EXPECT_THROW(TRecordingWriter(dir / "missing" / "c.kyv", 8, 8), EKyvError);
}

// Each way of damaging a finished file gives the reader code that opening it must give.
TEST(RecordingWriter, PatchedFilesFailTheContainerChecks) {
  TTempDir dir;
  const auto path = dir / "c.kyv";
  const auto fresh = [&] {
    TRecordingWriter writer(path, 8, 8, kKyvVersion100);
    writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, Bytes(58, 0));
    writer.AddFrame(1000, ftKeyFrame, ckNone, 0, 0, Bytes(58, 0));
    writer.Finish();
  };
  const auto code = [&]() -> int {
    try {
      TRecordingFile(path).ReadHead();
    } catch (const EKyvError& e) {
      EXPECT_EQ(e.Message(), ReaderErrorText(e.Code().value_or(-1)));
      return e.Code().value_or(-1);
    }
    return 0;
  };

  fresh();
  EXPECT_EQ(code(), 0);
  const uint8_t swapped[] = {0x56, 0x41};
  PatchBytes(path, 0, swapped);
  EXPECT_EQ(code(), reDamaged);

  fresh();
  PatchFileHeader(path, [](TFileHeader& h) { h.Version = 0x0102; });
  EXPECT_EQ(code(), reUpgradeNeeded);

  fresh();
  PatchFileHeader(path, [](TFileHeader& h) { h.IndexOffset = 0; });
  EXPECT_EQ(code(), reNoIndex);
  PatchFileHeader(path, [](TFileHeader& h) { h.IndexOffset = INT64_MIN + 5; });
  EXPECT_EQ(code(), reNoIndex);

  fresh();
  PatchIndexHeader(path, [](TIndexHeader& h) { h.Reserved[11] = 1; });
  EXPECT_EQ(code(), reIndexInvalid);

  fresh();
  TruncateFile(path, std::filesystem::file_size(path) - 1);
  EXPECT_EQ(code(), reReadFailed);

  fresh();
  PatchFileHeader(path, [](TFileHeader& h) { h.IndexOffset += 1000; });
  EXPECT_EQ(code(), reReadFailed);
}

TEST(FrameWalker, RecordsRunningPastTheFrameAreaAreNamed) {
  TTempDir dir;
  const auto path = dir / "d.kyv";
  {
    TRecordingWriter writer(path, 8, 8);
    writer.AddFrame(0, ftKeyFrame, ckNone, 0, 0, Bytes(10, 0));
    TFrameHeader header{};
    header.Time = 5;
    header.FrameType = ftCopyRect;
    header.DataSize = 100;  // only 10 of them follow
    uint8_t bytes[TFrameHeader::kSize];
    header.Write(bytes);
    writer.AddRawBytes(bytes);
    writer.AddRawBytes(Bytes(10, 0));
    writer.Finish();
  }
  TRecordingFile file(path);
  const int64_t area = file.ReadHead().Header.IndexOffset;
  TFrameWalker walker(file, static_cast<uint64_t>(area));
  TWalkedRecord record;
  ASSERT_TRUE(walker.Next(record));
  try {
    walker.Next(record);
    ADD_FAILURE() << "the cut record was delivered";
  } catch (const EKyvError& e) {
    EXPECT_THAT(e.Message(), HasSubstr("record 1 at file offset 70: "));
    EXPECT_THAT(e.Message(), HasSubstr("runs past the end of the frame area"));
  }

  // A frame area that claims more than the file holds.
  TFrameWalker beyond(file, 10000);
  ASSERT_TRUE(beyond.Next(record));
  EXPECT_THROW(beyond.Next(record), EKyvError);
}

}  // namespace
}  // namespace kyv
