// The decoder's life cycle, its lock and the payload kinds that need no codec.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "decoder/DecoderCalls.h"
#include "decoder/DecoderExports.h"
#include "platform/Errors.h"

namespace kyv {
namespace {

std::string LastError() {
  const char* text = KyvDecoderLastError();
  return text ? text : "";
}

// Every test starts and ends with the decoder uninitialised.
class DecoderState : public ::testing::Test {
 protected:
  void TearDown() override {
    // Balance whatever a failing test left behind.
    for (int i = 0; i < 8; ++i) UninitDecoder();
  }
};

TEST_F(DecoderState, LockWithoutInitFailsWithItsText) {
  LockDecoder();
  EXPECT_EQ(LastError(), "尚未调用 InitDecoder");
  UnlockDecoder();
  EXPECT_EQ(LastError(), "尚未调用 InitDecoder");
  EXPECT_THROW(TDecoderLock lock, EKyvError);
}

TEST_F(DecoderState, NestedInitsFreeOnlyOnTheLastUninit) {
  ASSERT_TRUE(InitDecoder());
  ASSERT_TRUE(InitDecoder());
  ASSERT_TRUE(InitDecoder());
  EXPECT_TRUE(UninitDecoder());
  EXPECT_TRUE(UninitDecoder());
  LockDecoder();
  EXPECT_EQ(KyvDecoderLastError(), nullptr);
  UnlockDecoder();
  EXPECT_EQ(KyvDecoderLastError(), nullptr);
  EXPECT_TRUE(UninitDecoder());
  LockDecoder();
  EXPECT_EQ(LastError(), "尚未调用 InitDecoder");
}

TEST_F(DecoderState, UnbalancedUninitDoesNotStopTheNextPairFromFreeing) {
  EXPECT_TRUE(UninitDecoder());  // nothing to free
  ASSERT_TRUE(InitDecoder());
  EXPECT_TRUE(UninitDecoder());
  LockDecoder();
  EXPECT_EQ(LastError(), "尚未调用 InitDecoder");
}

TEST_F(DecoderState, LockIsRecursiveAndExcludesOtherThreads) {
  TDecoderUsage usage;
  std::optional<TDecoderLock> outer(std::in_place);
  {
    TDecoderLock inner;  // the same thread enters again
  }
  std::atomic<bool> otherEntered{false};
  std::thread other([&] {
    TDecoderLock lock;
    otherEntered = true;
  });
  // Waiting cannot make this check fail wrongly; it only gives the other thread a chance.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(otherEntered);
  outer.reset();
  other.join();
  EXPECT_TRUE(otherEntered);
}

TEST_F(DecoderState, UnlockByAThreadThatDoesNotHoldTheLockFails) {
  TDecoderUsage usage;
  UnlockDecoder();
  EXPECT_EQ(LastError(), "UnlockDecoder: the decoder lock is not held by this thread");
}

TEST_F(DecoderState, CheckKyvFileHeaderLooksAtTheMagicOnly) {
  const std::array<uint8_t, 4> good{0x41, 0x56, 0xFF, 0xFF};
  const std::array<uint8_t, 4> swapped{0x56, 0x41, 0x00, 0x00};
  EXPECT_TRUE(CheckKyvFileHeader(good.data()));
  EXPECT_FALSE(CheckKyvFileHeader(swapped.data()));
  EXPECT_FALSE(CheckKyvFileHeader(nullptr));
}

TEST_F(DecoderState, EmptySourceReturnsZeroForEveryKindWithoutTouchingDest) {
  uint8_t dest[4] = {1, 2, 3, 4};
  const uint8_t src[1] = {9};
  for (int16_t kind : {0, 1, 2, 3, 4, 5, -1, 999}) {
    EXPECT_EQ(UnZipBuffer(src, 0, kind, dest, sizeof dest), 0);
    EXPECT_EQ(UnZipBuffer(nullptr, 10, kind, dest, sizeof dest), 0);
    EXPECT_EQ(KyvDecoderLastError(), nullptr);
  }
  void* shared = nullptr;
  EXPECT_EQ(UnZipBufferEx(src, 0, 1, &shared, 0), 0);
  EXPECT_EQ(shared, nullptr);
  EXPECT_EQ(dest[0], 1);
}

TEST_F(DecoderState, KindNoneCopiesAndIsBoundedByDestSize) {
  const uint8_t src[5] = {1, 2, 3, 4, 5};
  uint8_t dest[5] = {};
  EXPECT_EQ(UnZip(src, 5, 0, dest, 5), 5);
  EXPECT_EQ(dest[4], 5);
  uint8_t small[4] = {};
  EXPECT_EQ(UnZipBuffer(src, 5, 0, small, 4), -1);
  EXPECT_EQ(LastError(), "输出缓冲区太小");
  EXPECT_EQ(small[0], 0);
}

TEST_F(DecoderState, Bitmap58CopiesExactly58BytesAndRefusesShortPayloads) {
  std::array<uint8_t, 70> src{};
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i + 1);
  std::array<uint8_t, 70> dest{};
  EXPECT_EQ(UnZip(src.data(), 70, 4, dest.data(), 70), 0);
  EXPECT_EQ(dest[57], 58);
  EXPECT_EQ(dest[58], 0);
  EXPECT_EQ(UnZipBuffer(src.data(), 57, 4, dest.data(), 70), -1);
  EXPECT_EQ(LastError(), "位图数据少于 58 字节");
  EXPECT_EQ(UnZipBuffer(src.data(), 58, 4, dest.data(), 57), -1);
  EXPECT_EQ(LastError(), "输出缓冲区太小");
}

TEST_F(DecoderState, BadArgumentsAreRefusedNotFollowed) {
  const uint8_t src[4] = {};
  uint8_t dest[4] = {};
  EXPECT_EQ(UnZipBuffer(src, 4, 5, dest, 4), -1);
  EXPECT_EQ(LastError(), "不支持这种图象压缩格式!");
  EXPECT_EQ(UnZipBuffer(src, -4, 0, dest, 4), -1);
  EXPECT_EQ(LastError(), "源数据长度无效");
  EXPECT_EQ(UnZipBuffer(src, 4, 0, nullptr, 4), -1);
  EXPECT_EQ(LastError(), "目标缓冲区为空");
  EXPECT_EQ(Decompress(src, 4, nullptr), -1);
  EXPECT_EQ(UnZipBufferEx(src, 4, 0, nullptr, 4), -1);
  EXPECT_THROW(UnZip(src, 4, 7, dest, 4), EKyvError);
}

TEST_F(DecoderState, JpegWithoutInitFailsButOtherKindsWork) {
  const uint8_t jpegStart[4] = {0xFF, 0xD8, 0xFF, 0xD9};
  uint8_t dest[64] = {};
  EXPECT_EQ(UnZipBuffer(jpegStart, 4, 1, dest, 64), -1);
  EXPECT_EQ(LastError(), "尚未调用 InitDecoder");
  EXPECT_EQ(UnZip(jpegStart, 4, 0, dest, 64), 4);
}

TEST_F(DecoderState, SharedOutputBufferIsReusedAndKeptUntilTheLastUninit) {
  TDecoderUsage usage;
  const uint8_t src[3] = {7, 8, 9};
  void* first = nullptr;
  void* second = nullptr;
  TDecoderLock lock;
  EXPECT_EQ(UnZipEx(src, 3, 0, first, 0), 3);
  EXPECT_EQ(UnZipEx(src, 3, 0, second, 0), 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(static_cast<uint8_t*>(first)[2], 9);
}

TEST_F(DecoderState, FailingCallsLeaveTheLockAsFound) {
  TDecoderUsage usage;
  const uint8_t garbage[16] = {0xFF, 0xD8, 1, 2, 3};
  void* dest = nullptr;
  EXPECT_EQ(UnZipBufferEx(garbage, 16, 1, &dest, 0), -1);
  EXPECT_EQ(UnZipBufferEx(garbage, 16, 3, &dest, 0), -1);
  // Another thread can take the lock: nobody still holds it.
  std::thread other([] { TDecoderLock lock; });
  other.join();
}

}  // namespace
}  // namespace kyv
