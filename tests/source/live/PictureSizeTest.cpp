#include "source/live/PictureSize.h"

#include <gtest/gtest.h>

#include "LiveTestSupport.h"
#include "decoder/FileFormat.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

std::vector<uint8_t> RecordOf(int16_t Kind, const std::vector<uint8_t>& Payload) {
  TFrameHeader header{};
  header.FrameType = ftKeyFrame;
  header.Compression = Kind;
  header.DataSize = static_cast<uint32_t>(Payload.size());
  std::vector<uint8_t> bytes(TFrameHeader::kSize + Payload.size());
  header.Write(bytes.data());
  std::copy(Payload.begin(), Payload.end(), bytes.begin() + TFrameHeader::kSize);
  return bytes;
}

TEST(PictureSize, ComesFromTheDecodedBitmap) {
  const std::vector<uint8_t> bottomUp = test::KeyFrameRecord(0, 320, 200);
  TPictureSize size = ReadPictureSize(TFrameView(bottomUp.data()));
  EXPECT_EQ(size.Width, 320);
  EXPECT_EQ(size.Height, 200);
  // A top-down bitmap has a negative height; the size is its magnitude.
  const std::vector<uint8_t> topDown = test::KeyFrameRecord(0, 17, -9);
  size = ReadPictureSize(TFrameView(topDown.data()));
  EXPECT_EQ(size.Width, 17);
  EXPECT_EQ(size.Height, 9);
  // Compressed payloads are decoded first.
  const std::vector<uint8_t> image = EncodeBitmapFile(TPixels24(640, 480, 0x112233), 24);
  const std::vector<uint8_t> zlib = RecordOf(ckZlib, EncodeZlib(image.data(), image.size()));
  size = ReadPictureSize(TFrameView(zlib.data()));
  EXPECT_EQ(size.Width, 640);
  EXPECT_EQ(size.Height, 480);
}

TEST(PictureSize, RefusesWhatIsNoBitmap) {
  EXPECT_THROW(ReadPictureSize(TFrameView(RecordOf(ckNone, {}).data())), EKyvError);
  EXPECT_THROW(ReadPictureSize(TFrameView(RecordOf(ckZlib, std::vector<uint8_t>(100, 1)).data())),
               EKyvError);
  EXPECT_THROW(ReadPictureSize(TFrameView(RecordOf(ckNone, std::vector<uint8_t>(20, 0)).data())),
               EKyvError);
  // A width beyond 16 bits cannot be a picture size.
  std::vector<uint8_t> wide = test::KeyFrameRecord(0, 4, 4);
  StoreLE<int32_t>(wide.data() + TFrameHeader::kSize + 14 + 4, 70000);
  EXPECT_THROW(ReadPictureSize(TFrameView(wide.data())), EKyvError);
}

}  // namespace
}  // namespace kyv
