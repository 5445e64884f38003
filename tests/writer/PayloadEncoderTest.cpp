#include "writer/PayloadEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "decoder/BitmapFormat.h"
#include "decoder/DecoderCalls.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

using ::testing::HasSubstr;

// A picture with a different colour in every pixel, so that a row or column out of place shows.
TPixels24 Ramp(int width, int height) {
  TPixels24 picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetColour(x, y,
                        static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) |
                            static_cast<uint32_t>((y * 53) & 0xFF) << 8 |
                            static_cast<uint32_t>((x * 7 + 100) & 0xFF) << 16);
  return picture;
}

// A picture of at most four colours, for the palette depths.
TPixels24 FourColours(int width, int height) {
  static constexpr uint32_t colours[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x80C020};
  TPixels24 picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.SetColour(x, y, colours[(x / 3 + y) % 4]);
  return picture;
}

std::string DecodeFailure(const std::vector<uint8_t>& payload, TCompression kind,
                          int32_t destSize) {
  std::vector<uint8_t> dest(static_cast<size_t>(std::max(destSize, 1)));
  try {
    UnZip(payload.data(), static_cast<int32_t>(payload.size()), kind, dest.data(), destSize);
  } catch (const EKyvError& e) {
    return e.Message();
  }
  return "";
}

struct TDecoded {
  int32_t Result = 0;
  std::vector<uint8_t> Image;
};

TDecoded Decode(const std::vector<uint8_t>& payload, TCompression kind, int32_t destSize) {
  TDecoded decoded;
  decoded.Image.resize(static_cast<size_t>(destSize));
  decoded.Result = UnZip(payload.data(), static_cast<int32_t>(payload.size()), kind,
                         decoded.Image.data(), destSize);
  return decoded;
}

int MaxDifference(const TPixels24& a, const TPixels24& b) {
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  int worst = 0;
  for (size_t i = 0; i < std::min(a.Bgr.size(), b.Bgr.size()); ++i)
    worst = std::max(worst, std::abs(a.Bgr[i] - b.Bgr[i]));
  return worst;
}

class PayloadEncoderTest : public ::testing::Test {
 protected:
  TDecoderUsage FDecoder;  // JPEG decoding needs InitDecoder
};

// Every lossless kind, at every depth that holds the picture exactly, decodes through the
// project's decoder to the same bitmap file image and picture.
TEST_F(PayloadEncoderTest, LosslessKindsDecodeToTheImage) {
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    const TPixels24 picture =
        bits <= 8 ? (bits == 1 ? TPixels24(9, 5, 0xFFFFFF) : FourColours(13, 7)) : Ramp(13, 7);
    const std::vector<uint8_t> image = EncodeBitmapFile(picture, bits);
    for (const TCompression kind : {ckNone, ckLzo, ckZlib}) {
      SCOPED_TRACE(testing::Message() << "bits " << bits << " kind " << kind);
      TPayloadOptions options;
      options.BitCount = bits;
      const std::vector<uint8_t> payload = EncodePayload(picture, kind, options);
      const TDecoded decoded = Decode(payload, kind, static_cast<int32_t>(image.size()));
      EXPECT_EQ(decoded.Result, static_cast<int32_t>(image.size()));
      EXPECT_EQ(decoded.Image, image);
      const TPixels24 back = DecodeBitmapFile(decoded.Image.data(), decoded.Image.size());
      if (bits != 16) {
        EXPECT_EQ(back, picture);
      }
    }
  }
}

TEST_F(PayloadEncoderTest, TopDownImagesKeepTheirRowOrder) {
  const TPixels24 picture = Ramp(5, 4);
  TPayloadOptions options;
  options.TopDown = true;
  const std::vector<uint8_t> payload = EncodePayload(picture, ckZlib, options);
  const std::vector<uint8_t> image = EncodeBitmapFile(picture, 24, true);
  const TDecoded decoded = Decode(payload, ckZlib, static_cast<int32_t>(image.size()));
  EXPECT_EQ(TBitmapInfoHeader::Read(decoded.Image.data() + kBitmapInfoOffset).biHeight, -4);
  EXPECT_EQ(DecodeBitmapFile(decoded.Image.data(), decoded.Image.size()), picture);
}

TEST_F(PayloadEncoderTest, ZlibFailures) {
  const std::vector<uint8_t> image = EncodeBitmapFile(Ramp(20, 10), 24);
  const std::vector<uint8_t> payload = EncodeZlib(image.data(), image.size());
  EXPECT_EQ(DecodeFailure(payload, ckZlib, static_cast<int32_t>(image.size()) - 1),
            "ZLib error: target buffer may be too small");
  EXPECT_EQ(DecodeFailure(payload, ckZlib, static_cast<int32_t>(image.size())), "");

  std::vector<uint8_t> damaged = payload;
  damaged[0] ^= 0xFF;  // the stream header's check fails
  EXPECT_EQ(DecodeFailure(damaged, ckZlib, static_cast<int32_t>(image.size())), "Error");
  damaged = payload;
  damaged.resize(payload.size() / 2);  // cut short: inflate reports Z_BUF_ERROR
  EXPECT_EQ(DecodeFailure(damaged, ckZlib, static_cast<int32_t>(image.size())), "Error");
}

TEST_F(PayloadEncoderTest, LzoStreamWithATrailingByteGivesMinusOne) {
  const std::vector<uint8_t> image = EncodeBitmapFile(Ramp(8, 8), 24);
  std::vector<uint8_t> payload = EncodeLzo(image.data(), image.size());
  EXPECT_EQ(Decode(payload, ckLzo, static_cast<int32_t>(image.size())).Result,
            static_cast<int32_t>(image.size()));
  payload.push_back(0);
  EXPECT_EQ(Decode(payload, ckLzo, static_cast<int32_t>(image.size()) + 16).Result, -1);
}

TEST_F(PayloadEncoderTest, Bitmap58IsOnePixelTakenAsItIs) {
  const std::vector<uint8_t> payload = EncodeBitmap58(0x123456);
  ASSERT_EQ(payload.size(), 58u);
  std::vector<uint8_t> dest(64, 0xAB);
  EXPECT_EQ(UnZip(payload.data(), 58, ckBitmap58, dest.data(), 64), 0);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), dest.begin()));
  EXPECT_THAT(std::vector<uint8_t>(dest.begin() + 58, dest.end()), ::testing::Each(0xAB));
  const TPixels24 pixel = DecodeBitmapFile(dest.data(), 58);
  EXPECT_EQ(pixel.Colour(0, 0), 0x123456u);

  const std::vector<uint8_t> wide = EncodeBitmapFile(TPixels24(2, 1), 24);
  EXPECT_THROW(EncodeBitmap58(wide.data(), wide.size()), EKyvError);
  EXPECT_THROW(EncodePayload(TPixels24(3, 3), ckBitmap58), EKyvError);
  EXPECT_EQ(EncodePayload(TPixels24(1, 1, 7), ckBitmap58).size(), 58u);
}

// 100 x 10 at 24 bits: stride 300, 54 + 3000 bytes.
TEST_F(PayloadEncoderTest, JpegNeedsExactlyItsImageSize) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(Ramp(100, 10));
  std::vector<uint8_t> dest(3054, 0xCD);
  try {
    UnZip(jpeg.data(), static_cast<int32_t>(jpeg.size()), ckJpeg, dest.data(), 3053);
    ADD_FAILURE() << "a 3053-byte buffer was accepted";
  } catch (const EKyvError& e) {
    EXPECT_EQ(e.Message(), "输出缓冲区太小");
  }
  EXPECT_THAT(dest, ::testing::Each(0xCD));

  EXPECT_EQ(UnZip(jpeg.data(), static_cast<int32_t>(jpeg.size()), ckJpeg, dest.data(), 3054), 3054);
  const TBitmapFileHeader file = TBitmapFileHeader::Read(dest.data());
  const TBitmapInfoHeader info = TBitmapInfoHeader::Read(dest.data() + kBitmapInfoOffset);
  const uint32_t size = file.bfSize, offBits = file.bfOffBits;
  EXPECT_EQ(size, 3054u);
  EXPECT_EQ(offBits, 54u);
  EXPECT_EQ(info.biWidth, 100);
  EXPECT_EQ(info.biHeight, -10);
  EXPECT_EQ(info.biBitCount, 24);
  EXPECT_EQ(info.biSizeImage, 3000u);
}

TEST_F(PayloadEncoderTest, JpegOfWidthOneHasStrideFour) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(TPixels24(1, 8, 0x406080));
  std::vector<uint8_t> dest(100);
  EXPECT_EQ(UnZip(jpeg.data(), static_cast<int32_t>(jpeg.size()), ckJpeg, dest.data(), 100),
            54 + 4 * 8);
  EXPECT_EQ(TBitmapInfoHeader::Read(dest.data() + kBitmapInfoOffset).biSizeImage, 32u);
}

// The decoder writes the first scanline to the bottom row: a recording's JPEG therefore
// starts with the rectangle's bottom row, and an upright JPEG comes out upside down.
TEST_F(PayloadEncoderTest, JpegFirstScanlineIsTheBottomRow) {
  // Black above white: brightness is not subsampled, and the edge lies on a block border.
  TPixels24 picture(16, 16, 0x000000);
  picture.Fill(0, 8, 16, 8, 0xFFFFFF);
  const auto decode = [](const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> dest(54 + 48 * 16);
    UnZip(jpeg.data(), static_cast<int32_t>(jpeg.size()), ckJpeg, dest.data(),
          static_cast<int32_t>(dest.size()));
    return DecodeBitmapFile(dest.data(), dest.size());
  };
  TJpegOptions options;
  options.Quality = 95;
  EXPECT_LE(MaxDifference(decode(EncodeJpeg(picture, options)), picture), 8);

  options.Layout = TJpegLayout::jlUpright;
  TPixels24 flipped(16, 16, 0xFFFFFF);
  flipped.Fill(0, 8, 16, 8, 0x000000);
  EXPECT_LE(MaxDifference(decode(EncodeJpeg(picture, options)), flipped), 8);
}

TEST_F(PayloadEncoderTest, GreyscaleJpegDecodesToGreyBgr) {
  TPixels24 picture(24, 8, 0x2080E0);
  picture.Fill(12, 0, 12, 8, 0xFFFFFF);
  TJpegOptions options;
  options.Greyscale = true;
  options.Quality = 95;
  const std::vector<uint8_t> jpeg = EncodeJpeg(picture, options);
  std::vector<uint8_t> dest(54 + 72 * 8);
  ASSERT_EQ(UnZip(jpeg.data(), static_cast<int32_t>(jpeg.size()), ckJpeg, dest.data(),
                  static_cast<int32_t>(dest.size())),
            static_cast<int32_t>(dest.size()));
  EXPECT_EQ(TBitmapInfoHeader::Read(dest.data() + kBitmapInfoOffset).biBitCount, 24);
  const TPixels24 grey = DecodeBitmapFile(dest.data(), dest.size());
  for (int x : {2, 20}) {
    const uint8_t* p = grey.Pixel(x, 4);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
  }
  // Luminance of 0xE0 red, 0x80 green, 0x20 blue is about 0x8F.
  EXPECT_NEAR(grey.Pixel(2, 4)[0], 0x8F, 6);
  EXPECT_NEAR(grey.Pixel(20, 4)[0], 0xFF, 3);
}

TEST_F(PayloadEncoderTest, JpegRefusesWhatItCannotEncode) {
  EXPECT_THROW(EncodeJpeg(TPixels24(0, 5)), EKyvError);
  TJpegOptions options;
  options.Quality = 0;
  EXPECT_THROW(EncodeJpeg(TPixels24(4, 4), options), EKyvError);
  EXPECT_THROW(EncodeBitmapPayload(nullptr, 0, ckJpeg), EKyvError);
  EXPECT_THROW(EncodeBitmapPayload(nullptr, 0, static_cast<TCompression>(9)), EKyvError);
}

}  // namespace
}  // namespace kyv
