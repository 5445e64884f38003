#include <gtest/gtest.h>

#include <vector>

#include "PictureTestSupport.h"
#include "picture/MouseArrow.h"
#include "picture/VirtualMouse.h"
#include "platform/Errors.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

using test::MakeScene;
using test::ToDib;

constexpr uint32_t kRed = 0x0000FF, kBlack = 0, kWhite = 0xFFFFFF;

struct TSpan {
  int From, To;  // inclusive
};

struct TArrowRow {
  std::vector<TSpan> Black, White;
};

// The arrow as ranges of columns per row, top row first.
const std::vector<TArrowRow> kArrow = {
    {{{6, 6}}, {}},
    {{{6, 7}}, {}},
    {{{6, 6}, {8, 8}}, {{7, 7}}},
    {{{6, 6}, {9, 9}}, {{7, 8}}},
    {{{6, 6}, {10, 10}}, {{7, 9}}},
    {{{6, 6}, {11, 11}}, {{7, 10}}},
    {{{6, 6}, {12, 12}}, {{7, 11}}},
    {{{6, 6}, {13, 13}}, {{7, 12}}},
    {{{6, 6}, {14, 14}}, {{7, 13}}},
    {{{6, 6}, {15, 15}}, {{7, 14}}},
    {{{6, 6}, {16, 16}}, {{7, 15}}},
    {{{6, 6}, {13, 17}}, {{7, 12}}},
    {{{6, 6}, {10, 10}, {13, 13}}, {{7, 9}, {11, 12}}},
    {{{6, 6}, {9, 10}, {13, 13}}, {{7, 8}, {11, 12}}},
    {{{6, 6}, {8, 8}, {11, 11}, {14, 14}}, {{7, 7}, {12, 13}}},
    {{{6, 7}, {11, 11}, {14, 14}}, {{12, 13}}},
    {{{6, 6}, {12, 12}, {15, 15}}, {{13, 14}}},
    {{{12, 12}, {15, 15}}, {{13, 14}}},
    {{{13, 13}, {16, 16}}, {{14, 15}}},
    {{{13, 13}, {16, 16}}, {{14, 15}}},
    {{{14, 15}}, {}},
};

uint32_t ArrowColour(int x, int y) {
  if (y >= static_cast<int>(kArrow.size())) return kRed;
  for (const TSpan& s : kArrow[y].Black)
    if (x >= s.From && x <= s.To) return kBlack;
  for (const TSpan& s : kArrow[y].White)
    if (x >= s.From && x <= s.To) return kWhite;
  return kRed;
}

TEST(VirtualMouseTest, BuiltInArrowMatchesItsDrawing) {
  TDib picture(100, 100);
  TVirtualMouse mouse(picture);
  EXPECT_FALSE(mouse.Visible());
  EXPECT_EQ(mouse.X(), 0);
  EXPECT_EQ(mouse.Y(), 0);
  ASSERT_EQ(mouse.Width(), kArrowSize);
  ASSERT_EQ(mouse.Height(), kArrowSize);
  for (int y = 0; y < kArrowSize; ++y)
    for (int x = 0; x < kArrowSize; ++x)
      ASSERT_EQ(mouse.Image().Colour(x, y), ArrowColour(x, y)) << x << "," << y;
  // Stored as a 4-bit image with the 16-colour palette, like the resource it stands for.
  const auto& file = BuiltinArrowImage();
  EXPECT_EQ(TBitmapImage::Parse(file.data(), file.size()).BitCount(), 4);
}

TEST(VirtualMouseTest, PaintsTheArrowWithItsTipSixPixelsRight) {
  TDib picture(100, 100);
  picture.Fill(0x00FF00);
  TVirtualMouse mouse(picture);
  mouse.MoveTo(30, 40);
  EXPECT_TRUE(mouse.Visible());
  for (int y = 0; y < kArrowSize; ++y)
    for (int x = 0; x < kArrowSize; ++x) {
      const uint32_t c = ArrowColour(x, y);
      ASSERT_EQ(picture.Colour(30 + x, 40 + y), c == kRed ? 0x00FF00 : c) << x << "," << y;
    }
  EXPECT_EQ(picture.Colour(36, 40), kBlack);
}

TEST(VirtualMouseTest, PureRedIsTransparentButNearRedIsDrawn) {
  TPixels24 shape(3, 1);
  shape.SetColour(0, 0, kRed);
  shape.SetColour(1, 0, 0x0000FE);
  shape.SetColour(2, 0, 0x0100FF);  // red 255 with a little blue is not the key either
  TDib picture(10, 10);
  picture.Fill(0x123456);
  TVirtualMouse mouse(picture);
  for (int bits : {24, 32, 8, 4}) {
    const auto file = EncodeBitmapFile(shape, bits);
    mouse.SetShape(file.data(), file.size());
    mouse.MoveTo(2, 3);
    EXPECT_EQ(picture.Colour(2, 3), 0x123456u) << bits;
    EXPECT_EQ(picture.Colour(3, 3), 0x0000FEu) << bits;
    EXPECT_EQ(picture.Colour(4, 3), 0x0100FFu) << bits;
    mouse.Hide();
  }
}

TEST(VirtualMouseTest, HideRestoresExactlyAlsoPartlyOutside) {
  const TDib original = ToDib(MakeScene(50, 40, 300, 21));
  TDib picture = original;
  TVirtualMouse mouse(picture);
  // Places where some of the arrow shows, and places where only its transparent part or
  // nothing of it falls inside the picture.
  const struct {
    int X, Y;
    bool Shows;
  } places[] = {{30, 25, true}, {-10, -5, true}, {40, 0, true},     {0, 35, true},
                {10, 10, true}, {45, 0, false},  {-20, -30, false}, {200, 200, false}};
  for (auto [x, y, shows] : places) {
    mouse.MoveTo(x, y);
    EXPECT_EQ(picture != original, shows) << x << "," << y;
    mouse.Hide();
    EXPECT_FALSE(mouse.Visible());
    ASSERT_EQ(picture, original) << x << "," << y;
  }
}

TEST(VirtualMouseTest, MovingSavesTheBackgroundOnlyOnce) {
  const TDib original = ToDib(MakeScene(80, 80, 300, 22));
  TDib picture = original;
  TVirtualMouse mouse(picture);
  mouse.MoveTo(5, 5);
  const TDib painted = picture;
  mouse.MoveTo(5, 5);  // same place: nothing happens
  EXPECT_EQ(picture, painted);
  mouse.MoveTo(-1, -1);  // visible: hidden, then painted again at the same place
  EXPECT_EQ(picture, painted);
  EXPECT_EQ(mouse.X(), 5);
  mouse.MoveTo(20, 9);
  mouse.Hide();
  mouse.MoveTo(-1, -1);  // hidden: painted again at the last place
  EXPECT_TRUE(mouse.Visible());
  EXPECT_EQ(mouse.X(), 20);
  EXPECT_EQ(mouse.Y(), 9);
  mouse.Hide();
  EXPECT_EQ(picture, original);
}

TEST(VirtualMouseTest, IntersectsTheLastPlaceEvenWhenHidden) {
  TDib picture(100, 100);
  TVirtualMouse mouse(picture);
  mouse.MoveTo(50, 50);
  mouse.Hide();
  EXPECT_TRUE(mouse.Intersects({93, 93, 94, 94}));
  EXPECT_FALSE(mouse.Intersects({94, 50, 99, 60}));
  EXPECT_FALSE(mouse.Intersects({0, 0, 50, 50}));
  EXPECT_FALSE(mouse.Intersects({60, 60, 60, 70}));  // empty
}

TEST(VirtualMouseTest, SameSizeShapeKeepsItsBitmaps) {
  TDib picture(100, 100);
  TVirtualMouse mouse(picture);
  mouse.MoveTo(7, 8);
  const uint8_t* image = mouse.Image().Bits();
  const uint8_t* save = mouse.SaveBitmap().Bits();
  const TPixels24 shape = MakeScene(kArrowSize, kArrowSize, 40, 23);
  const auto file = EncodeBitmapFile(shape, 8, true);
  mouse.SetShape(file.data(), file.size());
  EXPECT_FALSE(mouse.Visible());
  EXPECT_EQ(mouse.X(), 7);
  EXPECT_EQ(mouse.Y(), 8);
  EXPECT_EQ(mouse.Image().Bits(), image);
  EXPECT_EQ(mouse.SaveBitmap().Bits(), save);
  EXPECT_EQ(mouse.Image(), ToDib(shape));

  const TPixels24 small = MakeScene(12, 20, 40, 24);
  const auto smallFile = EncodeBitmapFile(small, 24);
  mouse.SetShape(smallFile.data(), smallFile.size());
  EXPECT_EQ(mouse.Width(), 12);
  EXPECT_EQ(mouse.Height(), 20);
  EXPECT_EQ(mouse.SaveBitmap().Width(), 12);
  EXPECT_EQ(mouse.SaveBitmap().Height(), 20);
  EXPECT_EQ(mouse.Image(), ToDib(small));
}

TEST(VirtualMouseTest, BadShapeIsRefusedAndChangesNothing) {
  TDib picture = ToDib(MakeScene(60, 60, 50, 25));
  TVirtualMouse mouse(picture);
  mouse.MoveTo(4, 4);
  const TDib painted = picture;
  auto file = EncodeBitmapFile(MakeScene(10, 10, 4, 26), 24);
  EXPECT_THROW(mouse.SetShape(file.data(), file.size() - 1), EKyvError);
  EXPECT_TRUE(mouse.Visible());
  EXPECT_EQ(mouse.Width(), kArrowSize);
  EXPECT_EQ(picture, painted);
}

}  // namespace
}  // namespace kyv
