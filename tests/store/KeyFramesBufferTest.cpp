// The decoded key-frame cache: at most three entries, the oldest recycled, bad images refused.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "store/KeyFramesBuffer.h"

namespace kyv {
namespace {

// A bitmap file image of Size bytes whose last byte is Mark.
std::vector<uint8_t> Image(uint32_t size, uint8_t mark) {
  std::vector<uint8_t> image(size, 0);
  image[0] = 'B';
  image[1] = 'M';
  StoreLE(image.data() + 2, size);
  image.back() = mark;
  return image;
}

TFrameHeader KeyHeader(uint32_t time) {
  TFrameHeader header{};
  header.Time = time;
  header.FrameType = ftKeyFrame;
  return header;
}

TEST(KeyFramesBuffer, HoldsThreeAndRecyclesTheOldest) {
  TKeyFramesBuffer cache;
  TKeyFramesBuffer::TGuard guard(cache);
  cache.Store(KeyHeader(0), Image(4000, 1));
  const uint8_t* oldestBlock = cache.Find(0)->Image().data();
  cache.Store(KeyHeader(100), Image(200, 2));
  cache.Store(KeyHeader(200), Image(300, 3));
  EXPECT_EQ(cache.Count(), 3u);

  // The fourth reuses the first entry's block, which is large enough.
  cache.Store(KeyHeader(300), Image(1000, 4));
  EXPECT_EQ(cache.Count(), 3u);
  EXPECT_EQ(cache.Find(0), nullptr);
  const TKeyFrameEntry* newest = cache.Find(300);
  ASSERT_NE(newest, nullptr);
  EXPECT_EQ(newest->Image().data(), oldestBlock);
  EXPECT_EQ(newest->Image().size(), 1000u);
  EXPECT_EQ(newest->Image().back(), 4);
  EXPECT_EQ(newest->Header().Time, 300u);

  // The fifth reuses the entry of 100, whose block is too small and is replaced.
  cache.Store(KeyHeader(400), Image(5000, 5));
  EXPECT_EQ(cache.Find(100), nullptr);
  ASSERT_NE(cache.Find(200), nullptr);
  EXPECT_EQ(cache.Find(400)->Image().size(), 5000u);
  EXPECT_EQ(cache.Find(400)->Image().back(), 5);
}

TEST(KeyFramesBuffer, TakesBfSizeBytesAndRefusesImagesShorterThanThat) {
  TKeyFramesBuffer cache;
  std::vector<uint8_t> image = Image(100, 9);
  image.resize(150, 0xFF);  // slack behind the image is not part of it
  cache.Store(KeyHeader(1), image);
  EXPECT_EQ(cache.Find(1)->Image().size(), 100u);

  std::vector<uint8_t> truncated = Image(100, 0);
  truncated.resize(99);
  EXPECT_THROW(cache.Store(KeyHeader(2), truncated), EKyvError);
  std::vector<uint8_t> tiny(10, 0);
  EXPECT_THROW(cache.Store(KeyHeader(3), tiny), EKyvError);
  std::vector<uint8_t> zeroSize = Image(100, 0);
  StoreLE<uint32_t>(zeroSize.data() + 2, 0);
  EXPECT_THROW(cache.Store(KeyHeader(4), zeroSize), EKyvError);
  EXPECT_EQ(cache.Count(), 1u);

  cache.Clear();
  EXPECT_EQ(cache.Count(), 0u);
  EXPECT_EQ(cache.Find(1), nullptr);
}

}  // namespace
}  // namespace kyv
