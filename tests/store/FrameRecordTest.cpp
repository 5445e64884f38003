// The frame record block: its layout, and received bytes that do not hold the record they state.
#include "store/FrameRecord.h"

#include <gtest/gtest.h>

#include <vector>

#include "StoreTestSupport.h"
#include "platform/Errors.h"

namespace kyv {
namespace {

TEST(FrameRecord, MakeLaysOutHeaderThenPayload) {
  TFrameHeader header{};
  header.Time = 0x01020304;
  header.FrameType = ftKeyFrame;
  header.DataSize = 3;
  header.MouseX = 7;
  const uint8_t payload[] = {9, 8, 7};
  const TFrameRecord record = TFrameRecord::Make(header, payload);

  ASSERT_EQ(record.Size(), 31u);
  EXPECT_EQ(record.Bytes()[0], 0x04);  // little-endian Time
  EXPECT_EQ(record.Bytes()[3], 0x01);
  EXPECT_EQ(record.Time(), 0x01020304u);
  EXPECT_TRUE(record.IsKeyFrame());
  EXPECT_EQ(record.Header().MouseX, 7);
  EXPECT_EQ(std::vector<uint8_t>(record.Data().begin(), record.Data().end()),
            std::vector<uint8_t>({9, 8, 7}));

  // The payload must be exactly DataSize bytes.
  EXPECT_THROW(TFrameRecord::Make(header, std::span<const uint8_t>(payload, 2)), EKyvError);
  header.DataSize = 0;
  EXPECT_EQ(TFrameRecord::Make(header, {}).Size(), TFrameHeader::kSize);
}

TEST(FrameRecord, FromBytesTakesOneRecordAndRefusesShortInput) {
  TFrameHeader header{};
  header.Time = 40;
  header.DataSize = 4;
  std::vector<uint8_t> bytes(TFrameHeader::kSize + 6, 0x5A);  // two bytes beyond the record
  header.Write(bytes.data());

  const TFrameRecord record = TFrameRecord::FromBytes(bytes);
  EXPECT_EQ(record.Size(), 32u);
  EXPECT_EQ(record.Data()[3], 0x5A);

  EXPECT_THROW(TFrameRecord::FromBytes({bytes.data(), 27}), EKyvError);
  EXPECT_THROW(TFrameRecord::FromBytes({bytes.data(), 31}), EKyvError);
  EXPECT_THROW(TFrameRecord::FromBytes({}), EKyvError);
  header.DataSize = 0xFFFFFFFF;  // states far more than was received
  header.Write(bytes.data());
  EXPECT_THROW(TFrameRecord::FromBytes(bytes), EKyvError);
}

TEST(FrameRecord, ReleaseAndAdoptHandOverTheSameBlock) {
  TFrameRecord record = test::MakeFrame(80, ftCursor, 5);
  const uint8_t* before = record.Bytes();
  uint8_t* raw = record.Release();
  EXPECT_FALSE(record);
  EXPECT_EQ(raw, before);

  const TFrameRecord adopted = TFrameRecord::Adopt(raw);
  EXPECT_EQ(adopted.Bytes(), before);
  EXPECT_EQ(adopted.Time(), 80u);
  EXPECT_EQ(adopted.Size(), 33u);
}

}  // namespace
}  // namespace kyv
