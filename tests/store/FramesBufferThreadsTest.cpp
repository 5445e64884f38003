// A reader thread appending while the play thread peeks, advances and discards, and a third
// thread watching the counters without the lock, as the status window does.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "StoreTestSupport.h"
#include "store/FramesBuffer.h"

namespace kyv {
namespace {

constexpr uint32_t kFrames = 4000;

uint32_t PayloadOf(uint32_t time) {
  return 1000 + (time % 7) * 2000;
}

TEST(FramesBufferThreads, CountersStayConsistentUnderAppendPeekAndDiscard) {
  TFramesBuffer buffer;
  std::atomic<bool> done{false};

  std::thread reader([&] {
    for (uint32_t t = 0; t < kFrames; ++t) {
      // The reader stops reading ahead while the buffer is full, as the file reader does.
      while (buffer.IsFull() && !done.load()) std::this_thread::yield();
      const int16_t type = t % 10 == 0 ? ftKeyFrame : ftXorRect;
      buffer.Add(test::MakeFrame(t, type, PayloadOf(t), static_cast<uint8_t>(t)));
    }
  });

  std::thread watcher([&] {
    while (!done.load()) {
      EXPECT_GE(buffer.FrameCount(), 0);
      EXPECT_GE(buffer.KeyFrameCount(), 0);
      EXPECT_GE(buffer.TotalBytes(), 0);
      EXPECT_LE(buffer.FirstTime(), buffer.LastTime());
      std::this_thread::yield();
    }
  });

  TRecordBuffer frame(512000);
  uint32_t expected = 0;
  int discards = 0;
  // Stops at the first broken record; the threads are joined whatever happened.
  const auto consume = [&] {
    while (expected < kFrames) {
      if (!buffer.PeekNext(frame)) {
        std::this_thread::yield();
        continue;
      }
      // Every record arrives once, in order, whole.
      ASSERT_EQ(frame.View().Time(), expected);
      ASSERT_EQ(frame.View().DataSize(), PayloadOf(expected));
      ASSERT_EQ(frame.View().Data().back(), static_cast<uint8_t>(expected));
      buffer.SetCurrentIndex(buffer.CurrentIndex() + 1);
      ++expected;
      if (buffer.IsFull()) {
        buffer.DiscardPlayed(false);
        ++discards;
      }
      if (expected % 97 == 0) {
        TFramesBuffer::TGuard guard(buffer);
        test::ExpectCountersMatchList(buffer);
        ASSERT_FALSE(::testing::Test::HasFailure());
        // The record just shown is still where the current index says.
        ASSERT_EQ(buffer.Items(buffer.CurrentIndex()).Time(), expected - 1);
      }
    }
  };
  consume();
  done.store(true);
  reader.join();
  watcher.join();
  if (HasFailure()) return;

  EXPECT_GT(discards, 0);
  EXPECT_EQ(buffer.FrameCount(), buffer.Count());
  buffer.DiscardPlayed(true);
  EXPECT_EQ(buffer.FirstTime(), (kFrames - 1) / 10 * 10);
}

}  // namespace
}  // namespace kyv
