#include "source/LiveStore.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "context/PlayContext.h"

namespace kyv {
namespace {

TFrameRecord Frame(uint32_t Time, bool Key, size_t Size) {
  TFrameHeader header{};
  header.Time = Time;
  header.FrameType = Key ? ftKeyFrame : ftCopyRect;
  header.DataSize = static_cast<uint32_t>(Size);
  static const std::vector<uint8_t> payload(8 << 20, 7);
  return TFrameRecord::Make(header, std::span<const uint8_t>(payload.data(), Size));
}

// Whatever arrives, the store never holds more than its budget and one record, a key frame
// always leads it, and frames before the first key frame are never kept.
TEST(LiveStore, StaysWithinItsBudgetForEveryPatternOfKeyFrames) {
  constexpr size_t kSize = 1 << 20;
  const struct {
    const char* Name;
    int KeyEvery;  // 0: only the first frame after FirstKeyAt is a key frame
    int FirstKeyAt;
  } patterns[] = {{"key frames often", 4, 0},
                  {"key frames rarely", 40, 0},
                  {"one key frame, then only changes", 0, 0},
                  {"a flood before the first key frame", 0, 50}};
  for (const auto& pattern : patterns) {
    TPlayContext context;
    TLiveStore store(context);
    int64_t most = 0;
    for (int i = 0; i < 160; ++i) {
      const bool key = i == pattern.FirstKeyAt || (pattern.KeyEvery > 0 && i > pattern.FirstKeyAt &&
                                                   i % pattern.KeyEvery == 0);
      store.Add(Frame(static_cast<uint32_t>(i), key, kSize));
      most = std::max(most, context.Frames.TotalBytes());
      TFramesBuffer::TGuard guard(context.Frames);
      ASSERT_EQ(context.Frames.Count() == 0, i < pattern.FirstKeyAt) << pattern.Name << " at " << i;
      if (i >= pattern.FirstKeyAt) {
        ASSERT_TRUE(context.Frames.Items(0).IsKeyFrame()) << pattern.Name << " at " << i;
      }
    }
    EXPECT_LE(most, TLiveStore::kBudgetBytes + int64_t{kSize} + 64) << pattern.Name;
    EXPECT_GE(most, TLiveStore::kBudgetBytes - int64_t{kSize} * 50) << pattern.Name;
  }
}

TEST(LiveStore, AKeyFrameAfterDroppedFramesStartsAfreshAndReportsItsIndex) {
  TPlayContext context;
  TLiveStore store(context);
  constexpr size_t kSize = 4 << 20;
  uint32_t time = 0;
  EXPECT_EQ(store.Add(Frame(time++, true, kSize)), 0);
  int32_t index = 0;
  while (store.DroppedFrames() == 0) index = store.Add(Frame(time++, false, kSize));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(store.Add(Frame(time, true, kSize)), 0);
  EXPECT_EQ(context.Frames.Count(), 1);
  EXPECT_EQ(context.Frames.FirstTime(), time);
}

}  // namespace
}  // namespace kyv
