// The byte ring: all-or-nothing writes, wrapping, a pointer resting at the end, dropping reads,
// and a writer and a reader on two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/Errors.h"
#include "store/MemPool.h"

namespace kyv {
namespace {

std::vector<uint8_t> Bytes(size_t count, uint8_t first) {
  std::vector<uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

int32_t WriteAll(TMemPool& pool, const std::vector<uint8_t>& bytes) {
  return pool.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(MemPool, WriteIsAllOrNothing) {
  TMemPool pool(100);
  EXPECT_EQ(WriteAll(pool, Bytes(90, 0)), 90);
  EXPECT_EQ(WriteAll(pool, Bytes(20, 0)), 0);
  EXPECT_EQ(pool.DataLen(), 90);
  EXPECT_EQ(WriteAll(pool, Bytes(10, 90)), 10);
  EXPECT_EQ(pool.FreeSpace(), 0);

  std::vector<uint8_t> out(100);
  EXPECT_EQ(pool.Read(out.data(), 100), 100);
  EXPECT_EQ(out, Bytes(100, 0));
}

TEST(MemPool, ReadAndWriteWrapAtTheEndOfTheBlock) {
  TMemPool pool(100);
  ASSERT_EQ(WriteAll(pool, Bytes(90, 0)), 90);
  ASSERT_EQ(pool.Read(nullptr, 90), 90);
  // 10 bytes go to the end of the block, 50 to its start.
  ASSERT_EQ(WriteAll(pool, Bytes(60, 100)), 60);

  std::vector<uint8_t> out(50);
  EXPECT_EQ(pool.Read(out.data(), 50), 50);
  EXPECT_EQ(out, Bytes(50, 100));
  EXPECT_EQ(pool.DataLen(), 10);
  out.assign(50, 0);
  EXPECT_EQ(pool.Read(out.data(), 50), 10);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), Bytes(10, 150));
}

TEST(MemPool, PointersMayRestExactlyAtTheEnd) {
  TMemPool pool(100);
  ASSERT_EQ(WriteAll(pool, Bytes(100, 0)), 100);
  ASSERT_EQ(pool.Read(nullptr, 100), 100);
  // Both pointers now rest at the end: the next copies start at the beginning of the block.
  ASSERT_EQ(WriteAll(pool, Bytes(10, 200)), 10);
  std::vector<uint8_t> out(10);
  EXPECT_EQ(pool.Read(out.data(), 10), 10);
  EXPECT_EQ(out, Bytes(10, 200));
  EXPECT_EQ(WriteAll(pool, Bytes(100, 1)), 100);
  out.resize(100);
  EXPECT_EQ(pool.Read(out.data(), 100), 100);
  EXPECT_EQ(out, Bytes(100, 1));
}

TEST(MemPool, NullDestinationDropsTheBytes) {
  TMemPool pool(64);
  ASSERT_EQ(WriteAll(pool, Bytes(30, 0)), 30);
  EXPECT_EQ(pool.Read(nullptr, 12), 12);
  EXPECT_EQ(pool.DataLen(), 18);
  EXPECT_EQ(pool.Read(nullptr, 100), 18);
  EXPECT_EQ(pool.DataLen(), 0);
  EXPECT_EQ(pool.Read(nullptr, 5), 0);
}

TEST(MemPool, NonPositiveLengthsMoveNothing) {
  TMemPool pool(16);
  uint8_t byte = 7;
  EXPECT_EQ(pool.Write(&byte, 0), 0);
  EXPECT_EQ(pool.Write(&byte, -5), 0);
  ASSERT_EQ(pool.Write(&byte, 1), 1);
  EXPECT_EQ(pool.Read(&byte, 0), 0);
  EXPECT_EQ(pool.Read(&byte, -1), 0);
  EXPECT_EQ(pool.DataLen(), 1);
  EXPECT_THROW(pool.Write(nullptr, 1), EKyvError);
  EXPECT_THROW(TMemPool(-1), EKyvError);
}

TEST(MemPool, LockIsReentrantForTestAndWrite) {
  TMemPool pool(8);
  TMemPool::TGuard guard(pool);
  const uint8_t bytes[4] = {1, 2, 3, 4};
  ASSERT_GE(pool.FreeSpace(), 4);
  EXPECT_EQ(pool.Write(bytes, 4), 4);
  uint8_t out[4] = {};
  EXPECT_EQ(pool.Read(out, 4), 4);
  EXPECT_EQ(out[3], 4);
}

// A receiver writing whole messages and a parser reading them back, across many wraps.
TEST(MemPool, MessagesSurviveAWriterAndAReaderOnTwoThreads) {
  constexpr int kMessages = 20000;
  constexpr int32_t kLen = 37;  // does not divide the pool size, so messages straddle the end
  TMemPool pool(1000);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::vector<uint8_t> message(kLen);
    for (int i = 0; i < kMessages; ++i) {
      std::fill(message.begin(), message.end(), static_cast<uint8_t>(i));
      while (pool.Write(message.data(), kLen) == 0) {
        if (stop.load()) return;
        std::this_thread::yield();
      }
    }
  });
  // Stops at the first broken message; the writer is joined whatever happened.
  const auto readAll = [&] {
    std::vector<uint8_t> message(kLen);
    for (int i = 0; i < kMessages; ++i) {
      for (;;) {
        TMemPool::TGuard guard(pool);
        if (pool.DataLen() >= kLen) {
          ASSERT_EQ(pool.Read(message.data(), kLen), kLen);
          break;
        }
      }
      ASSERT_EQ(message.front(), static_cast<uint8_t>(i));
      ASSERT_EQ(message.back(), static_cast<uint8_t>(i));
    }
  };
  readAll();
  stop.store(true);
  writer.join();
  if (HasFailure()) return;
  EXPECT_EQ(pool.DataLen(), 0);
}

}  // namespace
}  // namespace kyv
