// The container checks run in their fixed order, each with its own code.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "decoder/ReaderErrors.h"
#include "decoder/RecordingHead.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {
namespace {

// A recording of the given version with no frames but the given index entries.
std::vector<uint8_t> MakeRecording(int16_t version, const std::vector<TIndexEntry>& entries,
                                   int64_t frameArea = 28) {
  TFileHeader h{};
  h.Magic[0] = 0x41;
  h.Magic[1] = 0x56;
  h.Version = version;
  h.Width = 640;
  h.Height = 480;
  h.IndexOffset = frameArea;
  std::vector<uint8_t> file(32 + static_cast<size_t>(frameArea) + 16 +
                            entries.size() * h.IndexEntrySize());
  h.Write(file.data());
  TIndexHeader{static_cast<uint32_t>(entries.size()), {}}.Write(file.data() + 32 + frameArea);
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i].Write(file.data() + 32 + frameArea + 16 + i * h.IndexEntrySize(), version);
  return file;
}

TReadAt Over(const std::vector<uint8_t>& file) {
  return [&file](uint64_t offset, void* buffer, size_t count) -> size_t {
    if (offset >= file.size()) return 0;
    const size_t n = std::min<uint64_t>(count, file.size() - offset);
    std::memcpy(buffer, file.data() + offset, n);
    return n;
  };
}

int CodeOf(const std::vector<uint8_t>& file) {
  try {
    ReadRecordingHead(Over(file));
  } catch (const EKyvError& e) {
    EXPECT_STREQ(e.what(), ReaderErrorText(e.Code().value_or(0)));
    return e.Code().value_or(-1);
  }
  return 0;
}

TEST(RecordingHead, ReadsHeaderAndIndexOfEveryVersion) {
  for (int16_t version : {kKyvVersion0, kKyvVersion100, kKyvVersion101}) {
    const auto file = MakeRecording(version, {{0, 0}, {40, 100}, {90, 300}});
    const TRecordingHead head = ReadRecordingHead(Over(file));
    EXPECT_EQ(head.Header.Width, 640);
    ASSERT_EQ(head.Index.size(), 3u);
    EXPECT_EQ(head.Index[2].Time, 90u);
    EXPECT_EQ(head.Index[2].Offset, 300u);
  }
}

TEST(RecordingHead, EachBrokenRuleHasItsCode) {
  const auto good = MakeRecording(kKyvVersion100, {{0, 0}});
  EXPECT_EQ(CodeOf(good), 0);

  EXPECT_EQ(CodeOf(std::vector<uint8_t>(good.begin(), good.begin() + 31)), 15);

  auto swapped = good;
  std::swap(swapped[0], swapped[1]);
  EXPECT_EQ(CodeOf(swapped), 1);

  auto version = good;
  version[2] = 0x02;
  version[3] = 0x01;  // 0x0102
  EXPECT_EQ(CodeOf(version), 14);

  auto zeroOffset = good;
  std::memset(zeroOffset.data() + 12, 0, 8);
  EXPECT_EQ(CodeOf(zeroOffset), 2);
  EXPECT_EQ(CodeOf(std::vector<uint8_t>(zeroOffset.begin(), zeroOffset.begin() + 32)), 2);

  auto negative = good;
  negative[19] = 0x80;  // top bit of IndexOffset
  EXPECT_EQ(CodeOf(negative), 2);

  auto reserved = good;
  reserved[32 + 28 + 15] = 1;
  EXPECT_EQ(CodeOf(reserved), 13);

  auto noEntries = MakeRecording(kKyvVersion0, {});
  EXPECT_EQ(CodeOf(noEntries), 13);
}

TEST(RecordingHead, ShortReadsAnywhereGiveCode15) {
  const auto file = MakeRecording(kKyvVersion101, {{0, 0}, {40, 100}});
  // An index past the end of the file.
  auto pastEnd = file;
  pastEnd[12] = 0xFF;
  pastEnd[13] = 0xFF;
  EXPECT_EQ(CodeOf(pastEnd), 15);
  // One byte of the index entries missing.
  EXPECT_EQ(CodeOf(std::vector<uint8_t>(file.begin(), file.end() - 1)), 15);
  // An index header cut short.
  EXPECT_EQ(CodeOf(std::vector<uint8_t>(file.begin(), file.begin() + 32 + 28 + 10)), 15);
}

TEST(RecordingHead, AHugeCountDoesNotAllocateBeyondTheSource) {
  auto file = MakeRecording(kKyvVersion101, {{0, 0}});
  const uint32_t count = 0xFFFFFFFF;
  StoreLE(file.data() + 32 + 28, count);
  EXPECT_EQ(CodeOf(file), 15);
}

TEST(RecordingHead, TheLargestIndexOffsetDoesNotWrap) {
  auto file = MakeRecording(kKyvVersion0, {{0, 0}});
  const int64_t largest = INT64_MAX;
  StoreLE(file.data() + 12, largest);
  EXPECT_EQ(CodeOf(file), 15);
}

}  // namespace
}  // namespace kyv
