// The frames buffer: lookups by time, the read-ahead limit, discarding, peeking and the dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "StoreTestSupport.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "store/FramesBuffer.h"

namespace kyv {
namespace {

using test::ExpectCountersMatchList;
using test::Key;
using test::MakeFrame;

void AddTimes(TFramesBuffer& buffer, std::initializer_list<uint32_t> times) {
  for (uint32_t t : times) buffer.Add(MakeFrame(t));
}

TEST(FramesBufferIndexOfTime, TimeBetweenRecordsMovesDownUnlessExact) {
  TFramesBuffer buffer;
  AddTimes(buffer, {0, 40, 80});

  uint32_t t = 60;
  EXPECT_EQ(buffer.IndexOfTime(t, false), 1);
  EXPECT_EQ(t, 40u);

  t = 60;
  EXPECT_EQ(buffer.IndexOfTime(t, true), -1);
  EXPECT_EQ(t, 60u);

  for (bool exact : {false, true}) {
    t = 100;
    EXPECT_EQ(buffer.IndexOfTime(t, exact), -1);
    EXPECT_EQ(t, 100u);
  }

  t = 0;
  EXPECT_EQ(buffer.IndexOfTime(t, true), 0);
  t = 80;
  EXPECT_EQ(buffer.IndexOfTime(t, true), 2);
}

TEST(FramesBufferIndexOfTime, TwoLeadingRecordsWithTheTimeGiveTheSecond) {
  TFramesBuffer buffer;
  AddTimes(buffer, {5, 5, 9});
  uint32_t t = 5;
  EXPECT_EQ(buffer.IndexOfTime(t, false), 1);

  // Further on, the first record carrying the time is found.
  TFramesBuffer later;
  AddTimes(later, {1, 5, 5, 9});
  t = 5;
  EXPECT_EQ(later.IndexOfTime(t, true), 1);
}

TEST(FramesBufferIndexOfTime, EmptyAndSingleRecordOnlyMatchExactly) {
  TFramesBuffer buffer;
  uint32_t t = 0;
  EXPECT_EQ(buffer.IndexOfTime(t, false), -1);

  AddTimes(buffer, {7});
  t = 7;
  EXPECT_EQ(buffer.IndexOfTime(t, true), 0);
  t = 6;
  EXPECT_EQ(buffer.IndexOfTime(t, false), -1);
  EXPECT_EQ(t, 6u);
}

TEST(FramesBufferIndexOfTime, TimeBeforeTheFirstRecordIsNotFound) {
  TFramesBuffer buffer;
  AddTimes(buffer, {10, 20});
  uint32_t t = 5;
  EXPECT_EQ(buffer.IndexOfTime(t, false), -1);
}

TEST(FramesBufferIndexOfTime, ComparesTimesUnsigned) {
  TFramesBuffer buffer;
  AddTimes(buffer, {0x7FFFFFF0u, 0x80000010u});
  uint32_t t = 0x80000000u;
  EXPECT_EQ(buffer.IndexOfTime(t, false), 0);
  EXPECT_EQ(t, 0x7FFFFFF0u);
}

TEST(FramesBufferIsFull, NeedsBothTheBytesAndThreeKeyFrames) {
  // 6 MiB in two key frames.
  TFramesBuffer twoKeys;
  twoKeys.Add(Key(0, 3 * 1024 * 1024));
  twoKeys.Add(Key(40, 3 * 1024 * 1024));
  EXPECT_FALSE(twoKeys.IsFull());
  twoKeys.Add(Key(80));
  EXPECT_TRUE(twoKeys.IsFull());

  // Ten key frames one byte short of the limit, then a buffer that reaches it exactly.
  for (int64_t total : {TFramesBuffer::kFullBytes - 1, TFramesBuffer::kFullBytes}) {
    TFramesBuffer tenKeys;
    for (int i = 0; i < 9; ++i) tenKeys.Add(Key(static_cast<uint32_t>(i)));
    const int64_t rest = total - 10 * static_cast<int64_t>(TFrameHeader::kSize);
    tenKeys.Add(Key(9, static_cast<uint32_t>(rest)));
    EXPECT_EQ(tenKeys.TotalBytes(), total);
    EXPECT_EQ(tenKeys.IsFull(), total == TFramesBuffer::kFullBytes);
  }
}

TEST(FramesBufferCounters, FollowAddDiscardAndClear) {
  TFramesBuffer buffer;
  EXPECT_EQ(buffer.CurrentIndex(), -1);
  EXPECT_EQ(buffer.Add(Key(0, 100)), 0);
  EXPECT_EQ(buffer.Add(MakeFrame(40, ftXorRect, 10)), 1);
  EXPECT_EQ(buffer.Add(MakeFrame(50, ftCursor)), 2);
  EXPECT_EQ(buffer.TotalBytes(), 3 * 28 + 110);
  EXPECT_EQ(buffer.KeyFrameCount(), 1);
  ExpectCountersMatchList(buffer);
  EXPECT_EQ(buffer.FirstTime(), 0u);
  EXPECT_EQ(buffer.LastTime(), 50u);

  buffer.SetCurrentIndex(2);
  buffer.Clear();
  EXPECT_EQ(buffer.Count(), 0);
  EXPECT_EQ(buffer.FrameCount(), 0);
  EXPECT_EQ(buffer.KeyFrameCount(), 0);
  EXPECT_EQ(buffer.TotalBytes(), 0);
  EXPECT_EQ(buffer.CurrentIndex(), -1);
  EXPECT_EQ(buffer.FirstTime(), 0u);
  EXPECT_EQ(buffer.LastTime(), 0u);
}

TEST(FramesBufferCounters, RefuseEmptyRecordsAndOutOfRangeItems) {
  TFramesBuffer buffer;
  EXPECT_THROW(buffer.Add(TFrameRecord()), EKyvError);
  EXPECT_EQ(buffer.FrameCount(), 0);
  buffer.Add(MakeFrame(1));
  TFramesBuffer::TGuard guard(buffer);
  EXPECT_THROW(buffer.Items(1), EAssertionFailed);
  EXPECT_THROW(buffer.Items(-1), EAssertionFailed);
}

// K0 D D K1 D D with payloads of distinct sizes, so the byte counter shows which records went.
void FillKDDKDD(TFramesBuffer& buffer) {
  buffer.Add(Key(0, 1000));
  buffer.Add(MakeFrame(10, ftXorRect, 1));
  buffer.Add(MakeFrame(20, ftCopyRect, 2));
  buffer.Add(Key(30, 300));
  buffer.Add(MakeFrame(40, ftXorRect, 4));
  buffer.Add(MakeFrame(50, ftCursor, 5));
}

void ExpectK1DD(TFramesBuffer& buffer) {
  ASSERT_EQ(buffer.Count(), 3);
  EXPECT_EQ(buffer.FirstTime(), 30u);
  EXPECT_EQ(buffer.LastTime(), 50u);
  EXPECT_EQ(buffer.KeyFrameCount(), 1);
  EXPECT_EQ(buffer.TotalBytes(), 3 * 28 + 309);
  ExpectCountersMatchList(buffer);
}

TEST(FramesBufferDiscardPlayed, KeepsTheKeyFrameBeforeTheCurrentRecord) {
  TFramesBuffer buffer;
  FillKDDKDD(buffer);
  buffer.SetCurrentIndex(4);
  buffer.DiscardPlayed(false);
  ExpectK1DD(buffer);
  EXPECT_EQ(buffer.CurrentIndex(), 1);
  TFramesBuffer::TGuard guard(buffer);
  EXPECT_EQ(buffer.Items(buffer.CurrentIndex()).Time(), 40u);
}

TEST(FramesBufferDiscardPlayed, ToEndKeepsTheLastKeyFrameAndResetsTheIndex) {
  TFramesBuffer buffer;
  FillKDDKDD(buffer);
  buffer.SetCurrentIndex(4);
  buffer.DiscardPlayed(true);
  ExpectK1DD(buffer);
  EXPECT_EQ(buffer.CurrentIndex(), -1);
}

TEST(FramesBufferDiscardPlayed, CurrentKeyFrameItselfSurvives) {
  TFramesBuffer buffer;
  FillKDDKDD(buffer);
  buffer.SetCurrentIndex(3);
  buffer.DiscardPlayed(false);
  ExpectK1DD(buffer);
  EXPECT_EQ(buffer.CurrentIndex(), 0);
}

TEST(FramesBufferDiscardPlayed, RemovesNothingWithoutAKeyFrameOrCurrentRecord) {
  TFramesBuffer noKeys;
  AddTimes(noKeys, {0, 10, 20});
  noKeys.SetCurrentIndex(2);
  noKeys.DiscardPlayed(false);
  EXPECT_EQ(noKeys.Count(), 3);
  EXPECT_EQ(noKeys.CurrentIndex(), 2);
  noKeys.DiscardPlayed(true);
  EXPECT_EQ(noKeys.Count(), 3);
  EXPECT_EQ(noKeys.CurrentIndex(), -1);

  // Nothing handed out yet: nothing has been played.
  TFramesBuffer fresh;
  FillKDDKDD(fresh);
  fresh.DiscardPlayed(false);
  EXPECT_EQ(fresh.Count(), 6);
  EXPECT_EQ(fresh.CurrentIndex(), -1);

  TFramesBuffer empty;
  empty.DiscardPlayed(false);
  empty.DiscardPlayed(true);
  EXPECT_EQ(empty.Count(), 0);
}

TEST(FramesBufferDiscardPlayed, CurrentIndexPastTheEndStaysInsideTheList) {
  TFramesBuffer buffer;
  FillKDDKDD(buffer);
  buffer.SetCurrentIndex(9);
  buffer.DiscardPlayed(false);
  ExpectK1DD(buffer);
}

TEST(FramesBufferPeekNext, CopiesTheNextRecordWithoutAdvancing) {
  TFramesBuffer buffer;
  buffer.Add(MakeFrame(0, ftXorRect, 72, 0xAB));
  buffer.Add(MakeFrame(40, ftXorRect, 22, 0xCD));
  buffer.Add(MakeFrame(80, ftXorRect, 172, 0xEF));

  TRecordBuffer copy;
  ASSERT_TRUE(buffer.PeekNext(copy));
  EXPECT_EQ(buffer.CurrentIndex(), -1);
  EXPECT_EQ(copy.View().Time(), 0u);
  EXPECT_EQ(copy.Size(), 100u);
  EXPECT_EQ(copy.Capacity(), 100u);
  EXPECT_EQ(copy.View().Data()[71], 0xAB);

  // A smaller record reuses the block; a larger one grows it to exactly its size.
  buffer.SetCurrentIndex(0);
  ASSERT_TRUE(buffer.PeekNext(copy));
  EXPECT_EQ(copy.View().Time(), 40u);
  EXPECT_EQ(copy.Size(), 50u);
  EXPECT_EQ(copy.Capacity(), 100u);
  EXPECT_EQ(copy.View().Data()[21], 0xCD);

  buffer.SetCurrentIndex(1);
  ASSERT_TRUE(buffer.PeekNext(copy));
  EXPECT_EQ(copy.Size(), 200u);
  EXPECT_EQ(copy.Capacity(), 200u);
  EXPECT_EQ(copy.View().Data()[171], 0xEF);
}

TEST(FramesBufferPeekNext, AtTheEndReturnsFalseAndLeavesTheBufferAlone) {
  TFramesBuffer buffer;
  TRecordBuffer copy(512000);
  EXPECT_FALSE(buffer.PeekNext(copy));
  EXPECT_TRUE(copy.Empty());

  buffer.Add(MakeFrame(0, ftXorRect, 10, 1));
  buffer.Add(MakeFrame(40, ftXorRect, 10, 2));
  ASSERT_TRUE(buffer.PeekNext(copy));
  buffer.SetCurrentIndex(buffer.Count() - 1);
  EXPECT_FALSE(buffer.PeekNext(copy));
  EXPECT_EQ(copy.Capacity(), 512000u);
  EXPECT_EQ(copy.View().Time(), 0u);
  EXPECT_EQ(copy.View().Data()[0], 1);
}

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = TempFolder() + "kyv-store-XXXXXX";
    FPath = mkdtemp(pattern.data());
  }
  ~TTempDir() { std::filesystem::remove_all(FPath); }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FramesBufferSaveToFile, WritesOneCrLfLinePerRecordAndReplacesTheFile) {
  TTempDir dir;
  const std::string name = dir.Path() + "/dump.txt";
  { std::ofstream(name) << std::string(200, 'x'); }

  TFramesBuffer buffer;
  buffer.Add(Key(520));
  buffer.Add(MakeFrame(600, ftXorRect, 3));
  buffer.Add(MakeFrame(4294967295u, ftMarker));
  buffer.SaveToFile(name);
  EXPECT_EQ(ReadAll(name), "0,520,Key\r\n1,600\r\n2,4294967295\r\n");

  EXPECT_THROW(buffer.SaveToFile(dir.Path() + "/missing/dump.txt"), EKyvError);
}

// The key frames are followed as records come and go, so finding the last one and trimming
// never walk the list; every cut that sends CurrentIndex back to -1 is counted.
TEST(FramesBufferKeyFrames, LastKeyFrameAndCutsFollowAddsDiscardsAndClears) {
  TFramesBuffer buffer;
  EXPECT_EQ(buffer.LastKeyFrameIndex(), -1);
  const uint64_t cuts = buffer.Cuts();
  for (uint32_t t = 0; t < 20; ++t) buffer.Add(t % 5 == 0 ? test::Key(t) : MakeFrame(t));
  EXPECT_EQ(buffer.LastKeyFrameIndex(), 15);
  buffer.SetCurrentIndex(12);
  buffer.DiscardPlayed(false);  // back to the key frame at 10
  EXPECT_EQ(buffer.FirstTime(), 10u);
  EXPECT_EQ(buffer.CurrentIndex(), 2);
  EXPECT_EQ(buffer.LastKeyFrameIndex(), 5);
  EXPECT_EQ(buffer.KeyFrameCount(), 2);
  EXPECT_EQ(buffer.Cuts(), cuts);
  buffer.DiscardPlayed(true);
  EXPECT_EQ(buffer.FirstTime(), 15u);
  EXPECT_EQ(buffer.LastKeyFrameIndex(), 0);
  EXPECT_EQ(buffer.Cuts(), cuts + 1);
  buffer.Add(test::Key(20));
  EXPECT_EQ(buffer.LastKeyFrameIndex(), 5);
  buffer.Clear();
  EXPECT_EQ(buffer.LastKeyFrameIndex(), -1);
  EXPECT_EQ(buffer.Cuts(), cuts + 2);
  buffer.Add(MakeFrame(30));
  buffer.Add(test::Key(31));
  EXPECT_EQ(buffer.LastKeyFrameIndex(), 1);
}

}  // namespace
}  // namespace kyv
