#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "PictureTestSupport.h"
#include "decoder/BitmapFormat.h"
#include "picture/BitmapImage.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

using test::MakeScene;
using test::ToDib;

struct TDepth {
  int BitCount;
  bool TopDown;
};

class BitmapImageDepthTest : public ::testing::TestWithParam<TDepth> {
 protected:
  // A picture the depth can hold exactly: as many colours as its table allows, and for 16
  // bits only colours that 5-5-5 keeps.
  static TPixels24 Scene(int width, int height, uint32_t seed) {
    const int bits = GetParam().BitCount;
    const int colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 125;
    return MakeScene(width, height, colours, seed, bits == 16);
  }
};

TEST_P(BitmapImageDepthTest, ConvertsToTheSamePictureAsTheReference) {
  // Widths around byte and row boundaries of every depth.
  for (int width : {1, 7, 8, 9, 31, 33, 37}) {
    const TPixels24 scene = Scene(width, 5, width);
    const auto file = EncodeBitmapFile(scene, GetParam().BitCount, GetParam().TopDown);
    const TBitmapImage image = TBitmapImage::Parse(file.data(), file.size());
    EXPECT_EQ(image.Width(), width);
    EXPECT_EQ(image.Height(), 5);
    TDib drawn(width, 5);
    image.Draw(drawn, 0, 0, roCopy);
    EXPECT_EQ(drawn, ToDib(scene)) << "width " << width;
    EXPECT_EQ(drawn, ToDib(DecodeBitmapFile(file.data(), file.size()))) << "width " << width;
  }
}

TEST_P(BitmapImageDepthTest, DrawsClippedAtAnyPlace) {
  const TPixels24 scene = Scene(23, 17, 11);
  const auto file = EncodeBitmapFile(scene, GetParam().BitCount, GetParam().TopDown);
  const TBitmapImage image = TBitmapImage::Parse(file.data(), file.size());
  const TDib source = ToDib(scene);
  const TDib base = ToDib(MakeScene(19, 13, 300, 12));
  for (auto [x, y] : {std::pair{-5, -3}, {4, 6}, {-30, 0}, {10, -2}, {0, 0}}) {
    TDib copied = base, expectCopied = base;
    image.Draw(copied, x, y, roCopy);
    expectCopied.CopyRect(x, y, source, 0, 0, 23, 17);
    EXPECT_EQ(copied, expectCopied) << x << "," << y;

    TDib inverted = base, expectInverted = base;
    image.Draw(inverted, x, y, roInvert);
    expectInverted.XorRect(x, y, source, 0, 0, 23, 17);
    EXPECT_EQ(inverted, expectInverted) << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, BitmapImageDepthTest,
                         ::testing::Values(TDepth{1, false}, TDepth{1, true}, TDepth{4, false},
                                           TDepth{4, true}, TDepth{8, false}, TDepth{8, true},
                                           TDepth{16, false}, TDepth{16, true}, TDepth{24, false},
                                           TDepth{24, true}, TDepth{32, false}, TDepth{32, true}),
                         [](const auto& p) {
                           return std::to_string(p.param.BitCount) +
                                  (p.param.TopDown ? "TopDown" : "BottomUp");
                         });

TEST(BitmapImageTest, SixteenBitsWidenFiveBitsToEight) {
  TPixels24 scene(2, 1);
  scene.SetColour(0, 0, 0xFFFFFF);
  scene.SetColour(1, 0, 0x080808);  // top five bits 00001 widen to 00001000
  const auto file = EncodeBitmapFile(scene, 16);
  TDib drawn(2, 1);
  TBitmapImage::Parse(file.data(), file.size()).Draw(drawn, 0, 0, roCopy);
  EXPECT_EQ(drawn.Colour(0, 0), 0xFFFFFFu);
  EXPECT_EQ(drawn.Colour(1, 0), 0x080808u);
}

TEST(BitmapImageTest, IndicesBeyondTheColourTableShowBlack) {
  TPixels24 scene(3, 1);
  scene.SetColour(0, 0, 0x112233);
  scene.SetColour(1, 0, 0x445566);
  scene.SetColour(2, 0, 0x778899);
  auto file = EncodeBitmapFile(scene, 8);
  StoreLE<uint32_t>(file.data() + kBitmapInfoOffset + 32, 2);  // biClrUsed: the third is lost
  TDib drawn(3, 1);
  drawn.Fill(0xFFFFFF);
  TBitmapImage::Parse(file.data(), file.size()).Draw(drawn, 0, 0, roCopy);
  EXPECT_EQ(drawn.Colour(0, 0), 0x112233u);
  EXPECT_EQ(drawn.Colour(1, 0), 0x445566u);
  EXPECT_EQ(drawn.Colour(2, 0), 0u);
}

TEST(BitmapImageTest, ColourTableFollowsALargerInfoHeader) {
  const TPixels24 scene = MakeScene(6, 4, 16, 3);
  auto file = EncodeBitmapFile(scene, 8);
  file.insert(file.begin() + kBitmapHeadersSize, 16, 0);
  StoreLE<uint32_t>(file.data() + 2, static_cast<uint32_t>(file.size()));
  StoreLE<uint32_t>(file.data() + 10, LoadLE<uint32_t>(file.data() + 10) + 16);
  StoreLE<uint32_t>(file.data() + kBitmapInfoOffset, 56);
  TDib drawn(6, 4);
  TBitmapImage::Parse(file.data(), file.size()).Draw(drawn, 0, 0, roCopy);
  EXPECT_EQ(drawn, ToDib(scene));
}

// Every way an image can fail to describe itself, each refused with a clear error.
TEST(BitmapImageTest, ImagesThatDoNotFitOrAreNotSaneAreRefused) {
  const TPixels24 scene = MakeScene(4, 4, 3, 9);
  const auto sound = EncodeBitmapFile(scene, 8);
  ASSERT_NO_THROW(TBitmapImage::Parse(sound.data(), sound.size()));
  auto u32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) { StoreLE<uint32_t>(&f[at], v); };
  auto u16 = [](std::vector<uint8_t>& f, size_t at, uint16_t v) { StoreLE<uint16_t>(&f[at], v); };
  const size_t info = kBitmapInfoOffset;
  struct TCase {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Spoil;
    size_t Cut = 0;  // bytes withheld from the available size
  };
  const TCase cases[] = {
      {"rows beyond the available bytes", [](auto&) {}, 1},
      {"headers beyond the available bytes", [](auto& f) { f.resize(53); }},
      {"rows beyond bfSize", [&](auto& f) { u32(f, 2, static_cast<uint32_t>(f.size() - 1)); }},
      {"bfSize below the headers", [&](auto& f) { u32(f, 2, 40); }},
      {"bfOffBits past the end", [&](auto& f) { u32(f, 10, static_cast<uint32_t>(f.size() + 4)); }},
      {"bfOffBits far past the end", [&](auto& f) { u32(f, 10, 0xFFFFFFF0u); }},
      {"bfOffBits inside the headers", [&](auto& f) { u32(f, 10, 20); }},
      {"colour table too long", [&](auto& f) { u32(f, info + 32, 1000); }},
      {"colour table far too long", [&](auto& f) { u32(f, info + 32, 0xFFFFFFFFu); }},
      {"info header too short", [&](auto& f) { u32(f, info, 39); }},
      {"info header too long", [&](auto& f) { u32(f, info, 0xFFFFFFF0u); }},
      {"two planes", [&](auto& f) { u16(f, info + 12, 2); }},
      {"RLE8", [&](auto& f) { u32(f, info + 16, 1); }},
      {"bit fields", [&](auto& f) { u32(f, info + 16, 3); }},
      {"2 bits", [&](auto& f) { u16(f, info + 14, 2); }},
      {"0 bits", [&](auto& f) { u16(f, info + 14, 0); }},
      {"48 bits", [&](auto& f) { u16(f, info + 14, 48); }},
      {"width 0", [&](auto& f) { u32(f, info + 4, 0); }},
      {"negative width", [&](auto& f) { u32(f, info + 4, static_cast<uint32_t>(-4)); }},
      {"height 0", [&](auto& f) { u32(f, info + 8, 0); }},
      {"height INT_MIN", [&](auto& f) { u32(f, info + 8, 0x80000000u); }},
      {"taller than its rows", [&](auto& f) { u32(f, info + 8, 5); }},
      {"wider than its rows", [&](auto& f) { u32(f, info + 4, 9); }},
      {"width x height x depth overflows",
       [&](auto& f) {
         u32(f, info + 4, 0x7FFFFFFF);
         u32(f, info + 8, 0x7FFFFFFF);
         u16(f, info + 14, 32);
       }},
      {"stride x height wraps 64 bits",
       [&](auto& f) {
         u32(f, info + 4, 0x7FFFFFFF);
         u32(f, info + 8, 0x80000001u);
         u16(f, info + 14, 32);
       }},
  };
  for (const TCase& c : cases) {
    auto file = sound;
    c.Spoil(file);
    try {
      TBitmapImage::Parse(file.data(), file.size() - c.Cut);
      ADD_FAILURE() << c.Name << ": accepted";
    } catch (const EKyvError& e) {
      EXPECT_NE(std::string(e.what()).find("Bitmap image refused"), std::string::npos) << c.Name;
    }
  }
  EXPECT_THROW(TBitmapImage::Parse(nullptr, 100), EKyvError);
}

}  // namespace
}  // namespace kyv
