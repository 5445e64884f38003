// The container records keep their layout and byte order whatever the host does.
#include <gtest/gtest.h>

#include <array>

#include "decoder/BitmapFormat.h"
#include "decoder/FileFormat.h"

namespace kyv {
namespace {

TEST(FileFormat, FileHeaderRoundTripsAtTheRightOffsets) {
  std::array<uint8_t, 32> bytes{};
  TFileHeader h{};
  h.Magic[0] = 0x41;
  h.Magic[1] = 0x56;
  h.Version = kKyvVersion101;
  h.Width = 1920;
  h.Height = 1080;
  h.Duration = 0x01020304;
  h.IndexOffset = 0x0000000500000006LL;
  h.Write(bytes.data());
  EXPECT_EQ(bytes[2], 0x01);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[8], 0x04);
  EXPECT_EQ(bytes[12], 0x06);
  EXPECT_EQ(bytes[16], 0x05);
  const TFileHeader back = TFileHeader::Read(bytes.data());
  EXPECT_EQ(back.Width, 1920);
  const int64_t written = h.IndexOffset, read = back.IndexOffset;  // packed: copy first
  EXPECT_EQ(read, written);
  EXPECT_TRUE(back.VersionKnown());
  EXPECT_EQ(back.IndexEntrySize(), 16u);
}

TEST(FileFormat, OnlyThreeVersionsAreKnown) {
  TFileHeader h{};
  for (int16_t v : {0, 0x0100, 0x0101}) {
    h.Version = v;
    EXPECT_TRUE(h.VersionKnown());
  }
  for (int16_t v : {1, 0x0102, 0x00FF, -1}) {
    h.Version = v;
    EXPECT_FALSE(h.VersionKnown());
  }
  h.Version = 0;
  EXPECT_EQ(h.IndexEntrySize(), 8u);
}

TEST(FileFormat, IndexEntriesOfBothLayouts) {
  std::array<uint8_t, 16> bytes{};
  bytes.fill(0xEE);
  TIndexEntry{40, 0x123456789AULL}.Write(bytes.data(), kKyvVersion101);
  EXPECT_EQ(bytes[4], 0);  // the unused word is written as zero
  EXPECT_EQ(TIndexEntry::Read(bytes.data(), kKyvVersion101).Offset, 0x123456789AULL);
  // Version 0x0101 ignores the four bytes after Time.
  bytes[5] = 0x77;
  EXPECT_EQ(TIndexEntry::Read(bytes.data(), kKyvVersion101).Time, 40u);

  std::array<uint8_t, 8> small{};
  TIndexEntry{7, 300}.Write(small.data(), kKyvVersion0);
  const TIndexEntry back = TIndexEntry::Read(small.data(), kKyvVersion100);
  EXPECT_EQ(back.Time, 7u);
  EXPECT_EQ(back.Offset, 300u);
}

TEST(FileFormat, IndexHeaderReservedBytesMustBeZero) {
  std::array<uint8_t, 16> bytes{};
  bytes[0] = 1;
  EXPECT_TRUE(TIndexHeader::Read(bytes.data()).ReservedClear());
  bytes[15] = 1;
  EXPECT_FALSE(TIndexHeader::Read(bytes.data()).ReservedClear());
}

TEST(FileFormat, FrameHeaderFieldsAndSignedTypes) {
  std::array<uint8_t, 28> bytes{};
  TFrameHeader h{};
  h.Time = 520;
  h.Left = 10;
  h.Top = 20;
  h.FrameType = -2;
  h.Compression = ckZlib;
  h.DataSize = 0xFFFFFFFF;
  h.MouseX = 3;
  h.MouseY = 4;
  h.Write(bytes.data());
  EXPECT_EQ(bytes[8], 0xFE);
  EXPECT_EQ(bytes[9], 0xFF);
  const TFrameHeader back = TFrameHeader::Read(bytes.data());
  EXPECT_EQ(back.FrameType, -2);
  EXPECT_EQ(back.MouseY, 4);
  // The record size of the largest payload does not wrap.
  EXPECT_EQ(back.RecordSize(), 28ULL + 0xFFFFFFFFULL);
}

TEST(FileFormat, BitmapStrideIsPaddedAndDoesNotOverflow) {
  EXPECT_EQ(BitmapStride(1, 24), 4u);
  EXPECT_EQ(BitmapStride(100, 24), 300u);
  EXPECT_EQ(BitmapStride(3, 1), 4u);
  EXPECT_EQ(BitmapStride(33, 1), 8u);
  EXPECT_EQ(BitmapStride(0x7FFFFFFF, 32), 0x7FFFFFFFULL * 4);
}

}  // namespace
}  // namespace kyv
