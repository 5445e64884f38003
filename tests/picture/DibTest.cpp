#include <gtest/gtest.h>

#include <climits>

#include "PictureTestSupport.h"
#include "picture/Dib.h"
#include "platform/Errors.h"

namespace kyv {
namespace {

using test::MakeScene;
using test::ToDib;

enum class TBlit { Copy, Xor, Transparent };

// The blit done pixel by pixel, with the clipping rule stated directly: a pixel moves only
// when both its source and its destination lie inside their pictures.
TDib ReferenceBlit(TDib dst, const TDib& src, int dx, int dy, int sx, int sy, int w, int h,
                   TBlit kind, uint32_t key = 0) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const int x = dx + i, y = dy + j, u = sx + i, v = sy + j;
      if (!dst.Bounds().Contains(x, y) || !src.Bounds().Contains(u, v)) continue;
      const uint32_t c = src.Colour(u, v);
      if (kind == TBlit::Copy) dst.SetColour(x, y, c);
      if (kind == TBlit::Xor) dst.SetColour(x, y, dst.Colour(x, y) ^ c);
      if (kind == TBlit::Transparent && c != key) dst.SetColour(x, y, c);
    }
  return dst;
}

void Blit(TDib& dst, const TDib& src, int dx, int dy, int sx, int sy, int w, int h, TBlit kind,
          uint32_t key = 0) {
  if (kind == TBlit::Copy) dst.CopyRect(dx, dy, src, sx, sy, w, h);
  if (kind == TBlit::Xor) dst.XorRect(dx, dy, src, sx, sy, w, h);
  if (kind == TBlit::Transparent) dst.TransparentRect(dx, dy, src, sx, sy, w, h, key);
}

TEST(DibTest, StrideIsThreeBytesPerPixelPaddedToFour) {
  EXPECT_EQ(TDib(1, 1).Stride(), 4);
  EXPECT_EQ(TDib(5, 2).Stride(), 16);
  EXPECT_EQ(TDib(4, 2).Stride(), 12);
  EXPECT_EQ(TDib(5, 2).SizeBytes(), 32u);
}

TEST(DibTest, ImpossibleSizesAreRefused) {
  EXPECT_THROW(TDib(0, 10), EKyvError);
  EXPECT_THROW(TDib(10, 0), EKyvError);
  EXPECT_THROW(TDib(-3, 10), EKyvError);
  EXPECT_THROW(TDib(65535, 65535), EKyvError);
  EXPECT_THROW(TDib(INT_MAX, 1), EKyvError);
}

TEST(DibTest, BlitsAreClippedToBothPictures) {
  const TDib src = ToDib(MakeScene(13, 9, 50, 1));
  const TDib base = ToDib(MakeScene(17, 11, 50, 2));
  const int places[][6] = {
      {2, 3, 1, 1, 8, 5},     // inside both
      {-4, -2, 0, 0, 13, 9},  // off the destination's top-left
      {12, 8, 0, 0, 13, 9},   // off its bottom-right
      {3, 2, -5, -3, 13, 9},  // source rectangle starts outside the source
      {0, 0, 6, 5, 40, 40},   // larger than both
      {-20, 0, 0, 0, 13, 9},  // wholly outside
      {1, 1, 0, 0, 0, 5},     // empty
  };
  for (TBlit kind : {TBlit::Copy, TBlit::Xor, TBlit::Transparent})
    for (const auto& p : places) {
      TDib dst = base;
      const uint32_t key = src.Colour(0, 0);
      Blit(dst, src, p[0], p[1], p[2], p[3], p[4], p[5], kind, key);
      EXPECT_EQ(dst, ReferenceBlit(base, src, p[0], p[1], p[2], p[3], p[4], p[5], kind, key))
          << "kind " << static_cast<int>(kind) << " at " << p[0] << "," << p[1];
    }
}

TEST(DibTest, PositionsNearTheEndsOfIntDoNotOverflow) {
  TDib dst = ToDib(MakeScene(8, 8, 4, 3));
  const TDib before = dst;
  const TDib src = ToDib(MakeScene(8, 8, 4, 4));
  dst.CopyRect(INT_MAX - 2, 0, src, 0, 0, 8, 8);
  dst.CopyRect(INT_MIN + 1, INT_MIN + 1, src, 0, 0, INT_MAX, INT_MAX);
  dst.XorRect(0, 0, src, INT_MAX, 0, INT_MAX, 8);
  EXPECT_EQ(dst, before);
}

TEST(DibTest, XorTwiceRestoresThePicture) {
  const TDib src = ToDib(MakeScene(30, 20, 200, 5));
  const TDib before = ToDib(MakeScene(40, 25, 200, 6));
  TDib dst = before;
  dst.XorRect(-3, 7, src, 0, 0, 30, 20);
  EXPECT_NE(dst, before);
  dst.XorRect(-3, 7, src, 0, 0, 30, 20);
  EXPECT_EQ(dst, before);
}

TEST(DibTest, TransparentBlitSkipsOnlyTheExactKey) {
  TDib src(3, 1);
  src.SetColour(0, 0, 0x0000FF);  // red 255: the key
  src.SetColour(1, 0, 0x0000FE);  // red 254
  src.SetColour(2, 0, 0xFF0000);  // blue
  TDib dst(3, 1);
  dst.Fill(0x00FF00);
  dst.TransparentRect(0, 0, src, 0, 0, 3, 1, 0x0000FF);
  EXPECT_EQ(dst.Colour(0, 0), 0x00FF00u);
  EXPECT_EQ(dst.Colour(1, 0), 0x0000FEu);
  EXPECT_EQ(dst.Colour(2, 0), 0xFF0000u);
}

TEST(DibTest, RowPaddingStaysZero) {
  TDib dst(5, 3);
  dst.Fill(0xFFFFFF);
  dst.XorRect(0, 0, ToDib(MakeScene(5, 3, 9, 7)), 0, 0, 5, 3);
  for (int y = 0; y < 3; ++y)
    for (int i = 15; i < 16; ++i) EXPECT_EQ(dst.Row(y)[i], 0) << "row " << y;
}

TEST(RectTest, UnionIgnoresEmptyRectangles) {
  EXPECT_EQ(UnionRect({}, {1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(UnionRect({1, 2, 3, 4}, {9, 9, 9, 20}), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(IntersectRect({0, 0, 5, 5}, {5, 0, 9, 5}), TRect{});
}

}  // namespace
}  // namespace kyv
