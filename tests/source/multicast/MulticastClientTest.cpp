#include "source/multicast/KyvMulticastClient.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MulticastTestSupport.h"
#include "platform/Thread.h"

namespace kyv {
namespace {

using test::Pattern;
using test::RecordBytes;

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& Parts) {
  std::vector<uint8_t> all;
  for (const auto& part : Parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<uint8_t> BytesOf(const TFrameRecord& Record) {
  return {Record.Bytes(), Record.Bytes() + Record.Size()};
}

class MulticastClient : public ::testing::Test {
 protected:
  TThreadPtr<TKyvMulticastClient> FClient = TThread::Create<TKyvMulticastClient>();
};

TEST_F(MulticastClient, TakesWholeRecordsInOrderAcrossMessages) {
  const auto a = RecordBytes(100, ftKeyFrame, Pattern(1000, 1));
  const auto b = RecordBytes(200, ftCopyRect, Pattern(3, 2));
  const auto c = RecordBytes(300, ftXorRect, Pattern(70000, 3));
  EXPECT_TRUE(FClient->Store(Join({a, b})));  // two records in one message
  EXPECT_TRUE(FClient->Store(c));
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), a);
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), b);
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), c);
  EXPECT_FALSE(FClient->TakeRecord());
  EXPECT_EQ(FClient->PoolDataLen(), 0);
}

TEST_F(MulticastClient, RecordWithoutPayloadWaitsForMoreBytes) {
  const auto empty = RecordBytes(5, ftMarker, {});
  EXPECT_TRUE(FClient->Store(empty));
  EXPECT_FALSE(FClient->TakeRecord());
  EXPECT_TRUE(FClient->Store(RecordBytes(6, ftMarker, {})));
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), empty);
  EXPECT_FALSE(FClient->TakeRecord());
}

TEST_F(MulticastClient, DamagedMessagesAreDroppedAndLaterRecordsSurvive) {
  testing::internal::CaptureStderr();
  auto cut = RecordBytes(1, ftKeyFrame, Pattern(100));
  cut.pop_back();
  auto trailing = RecordBytes(2, ftKeyFrame, Pattern(10));
  trailing.push_back(0);
  EXPECT_FALSE(FClient->Store(cut));
  EXPECT_FALSE(FClient->Store(trailing));
  EXPECT_FALSE(FClient->Store(Pattern(27)));  // shorter than a header
  // A header announcing 4 GiB of payload.
  auto huge = RecordBytes(3, ftKeyFrame, {});
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  EXPECT_FALSE(FClient->Store(huge));
  const std::string texts = testing::internal::GetCapturedStderr();
  EXPECT_EQ(FClient->PoolLosses(), 4u);
  EXPECT_NE(texts.find("KyvPlayer.ocx -> Loss data"), std::string::npos);

  const auto sound = RecordBytes(4, ftCopyRect, Pattern(50));
  EXPECT_TRUE(FClient->Store(sound));
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), sound);
}

TEST_F(MulticastClient, FullPoolDropsTheMessageWhole) {
  testing::internal::CaptureStderr();
  // A message the size of the pool never fits: the free space must exceed it.
  EXPECT_FALSE(FClient->Store(
      RecordBytes(1, ftKeyFrame, std::vector<uint8_t>(TKyvMulticastClient::kPoolSize - 28))));
  const auto big = RecordBytes(2, ftKeyFrame, std::vector<uint8_t>(2 << 20, 7));
  EXPECT_TRUE(FClient->Store(big));
  EXPECT_TRUE(FClient->Store(big));
  EXPECT_FALSE(FClient->Store(big));  // 6 MiB would not fit
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(FClient->PoolLosses(), 2u);
  EXPECT_EQ(FClient->PoolDataLen(), static_cast<int32_t>(2 * big.size()));
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), big);
  EXPECT_EQ(BytesOf(FClient->TakeRecord()), big);
  EXPECT_FALSE(FClient->TakeRecord());
}

}  // namespace
}  // namespace kyv
