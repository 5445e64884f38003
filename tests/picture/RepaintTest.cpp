#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "PictureTestSupport.h"
#include "picture/BackBuffer.h"
#include "picture/PictureLayout.h"
#include "picture/Repainter.h"
#include "picture/StretchBilinear.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

// The scaling formula written out plainly, in 64 bits, as the ground truth.
void ReferenceStretch(const TDib& src, const TRect& s, TDib& dst, const TRect& d) {
  if (d.Right <= 1 || d.Bottom <= 1) return;
  const int64_t dx = d.Right - 1, dy = d.Bottom - 1;
  if (dy < d.Top) return;
  for (int y = d.Top; y < d.Bottom; ++y) {
    const int64_t u = int64_t{s.Bottom - 1} * y, sy = u / dy, fy = u % dy;
    const int64_t sy2 = fy > 0 ? sy + 1 : sy;
    for (int i = 0; i < d.Right - d.Left; ++i) {
      const int64_t c = int64_t{s.Right - 1} * i, fx = c % dx;
      const int64_t sx = std::min<int64_t>(s.Left + c / dx, src.Width() - 1);
      const int64_t sx2 = fx > 0 ? std::min<int64_t>(sx + 1, src.Width() - 1) : sx;
      const int64_t wx = dx - fx, wy = dy - fy;
      for (int ch = 0; ch < 3; ++ch) {
        auto at = [&](int64_t x, int64_t row) { return int64_t{src.Row(int(row))[x * 3 + ch]}; };
        const int64_t v = (wy * wx * at(sx, sy) + wy * fx * at(sx2, sy) + fy * wx * at(sx, sy2) +
                           fy * fx * at(sx2, sy2) + dx * dy / 2) /
                          (dx * dy);
        dst.Row(y)[(d.Left + i) * 3 + ch] = static_cast<uint8_t>(v);
      }
    }
  }
}

TDib Noise(int w, int h, uint32_t seed) {
  TDib dib(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) dib.Row(y)[x] = static_cast<uint8_t>(rng());
  return dib;
}

struct TLayoutCase {
  int ViewW, ViewH;
  TDisplayMode Mode;
  TPictureLayout Expected;
};

TEST(PictureLayout, PlacesA1024x768RecordingByMode) {
  const TLayoutCase cases[] = {
      {512, 600, dmAdaptive, {0, 108, 512, 384, 50, false, false}},
      {2000, 2000, dmAdaptive, {488, 616, 1024, 768, 100, false, false}},
      {400, 300, dmAdaptive, {0, 0, 399, 299, 39, false, false}},
      {1024, 768, dmAdaptive, {0, 0, 1024, 768, 100, false, false}},
      {400, 300, dmOriginal, {0, 0, 1024, 768, 1, true, true}},
      {2000, 300, dmOriginal, {488, 0, 1024, 768, 1, false, true}},
      {1, 1, dmAdaptive, {0, 0, 0, 0, 0, false, false}},
  };
  for (const TLayoutCase& c : cases) {
    TPictureLayout layout;
    layout.HorzScrollBar = layout.VertScrollBar = true;
    ASSERT_TRUE(LayoutPicture(c.ViewW, c.ViewH, 1024, 768, c.Mode, layout));
    const TPictureLayout& e = c.Expected;
    EXPECT_EQ((std::vector<int>{layout.Left, layout.Top, layout.Width, layout.Height, layout.Zoom,
                                layout.HorzScrollBar, layout.VertScrollBar}),
              (std::vector<int>{e.Left, e.Top, e.Width, e.Height, e.Zoom, e.HorzScrollBar,
                                e.VertScrollBar}))
        << c.ViewW << "x" << c.ViewH << " mode " << c.Mode;
  }
}

TEST(PictureLayout, FullScreenAndSizelessRecordingsLeaveTheLayoutAlone) {
  const TPictureLayout before{5, 6, 7, 8, 9, true, false};
  TPictureLayout layout = before;
  EXPECT_TRUE(LayoutPicture(300, 200, 1024, 768, dmFull, layout));
  EXPECT_EQ(layout.Left + layout.Top + layout.Width + layout.Height + layout.Zoom, 35);
  EXPECT_FALSE(LayoutPicture(300, 200, 0, 768, dmAdaptive, layout));
  EXPECT_FALSE(LayoutPicture(300, 200, 1024, -1, dmOriginal, layout));
  EXPECT_EQ(layout.Width, 7);
  // Views far past 2^31 / 65535 pixels would overflow 32-bit products.
  EXPECT_TRUE(LayoutPicture(2000000000, 1000000000, 65535, 65535, dmAdaptive, layout));
  EXPECT_EQ(layout.Zoom, 100);
  EXPECT_EQ(layout.Left, (2000000000 - 65535) / 2);
}

TEST(RepaintRects, WidensToBlocksAndScalesInAdaptiveMode) {
  struct {
    TRect Changed;
    TDisplayMode Mode;
    int Zoom, PictureW, PictureH;
    TRepaintRects Expected;
  } const cases[] = {
      {{150, 120, 160, 130}, dmAdaptive, 50, 512, 384, {{100, 100, 200, 200}, {50, 50, 100, 100}}},
      {{1000, 700, 1024, 768},
       dmAdaptive,
       50,
       512,
       384,
       {{1000, 700, 1024, 768}, {500, 350, 512, 384}}},
      {{0, 0, 1024, 768}, dmAdaptive, 39, 399, 299, {{0, 0, 1024, 768}, {0, 0, 399, 299}}},
      {{0, 0, 100, 100}, dmAdaptive, 100, 1024, 768, {{0, 0, 200, 200}, {0, 0, 200, 200}}},
      {{150, 120, 160, 130},
       dmOriginal,
       50,
       512,
       384,
       {{150, 120, 160, 130}, {150, 120, 160, 130}}},
      {{3, 4, 5, 6}, dmFull, 10, 2, 2, {{3, 4, 5, 6}, {3, 4, 5, 6}}},
  };
  for (const auto& c : cases) {
    const TRepaintRects r =
        RepaintRects(c.Changed, c.Mode, c.Zoom, 1024, 768, c.PictureW, c.PictureH);
    EXPECT_EQ(r.Source, c.Expected.Source) << c.Changed.Left << "," << c.Changed.Top;
    EXPECT_EQ(r.Dest, c.Expected.Dest) << c.Changed.Left << "," << c.Changed.Top;
  }
}

TEST(StretchBilinear, MatchesThePlainFormulaOnRandomPictures) {
  struct {
    int SrcW, SrcH;
    TRect Source;
    int DstW, DstH;
    TRect Dest;
  } const cases[] = {
      {1024, 768, {100, 100, 200, 200}, 512, 384, {50, 50, 100, 100}},
      {1024, 768, {0, 0, 1024, 768}, 399, 299, {0, 0, 399, 299}},
      {1024, 768, {900, 700, 1024, 768}, 399, 299, {351, 273, 399, 299}},  // zoom 39 corner
      {37, 23, {0, 0, 37, 23}, 5, 3, {0, 0, 5, 3}},
      {300, 200, {200, 100, 300, 200}, 3, 2, {2, 1, 3, 2}},  // a one-pixel rectangle inside
      {5, 5, {0, 0, 5, 5}, 40, 40, {0, 0, 40, 40}},          // enlarging reads within the source
      {2500, 2000, {0, 0, 2500, 2000}, 2450, 1990, {0, 0, 2450, 1990}},  // 64-bit sums
      {300, 60, {250, 0, 300, 50}, 40, 40, {0, 0, 40, 40}},              // columns held at the edge
  };
  uint32_t seed = 1;
  for (const auto& c : cases) {
    const TDib src = Noise(c.SrcW, c.SrcH, seed++);
    TDib expected = Noise(c.DstW, c.DstH, seed++);
    TDib actual = expected;
    ReferenceStretch(src, c.Source, expected, c.Dest);
    TStretchScratch scratch;
    StretchBilinear(src.Bits(), src.Stride(), src.Width(), src.Height(), c.Source, actual, c.Dest,
                    scratch);
    EXPECT_TRUE(actual == expected) << c.SrcW << "x" << c.SrcH << " -> " << c.DstW << "x" << c.DstH;
  }
  // Random sizes and blocks, as adaptive repaints make them.
  std::mt19937 rng(7);
  TStretchScratch scratch;  // reused, as the repainter does
  for (int round = 0; round < 40; ++round) {
    const int w = 2 + static_cast<int>(rng() % 700), h = 2 + static_cast<int>(rng() % 500);
    const int zoom = 1 + static_cast<int>(rng() % 99);
    TPictureLayout layout;
    LayoutPicture(w * zoom / 100, h * zoom / 100, w, h, dmAdaptive, layout);
    if (layout.Width < 2 || layout.Height < 2) continue;
    const int x = static_cast<int>(rng() % w), y = static_cast<int>(rng() % h);
    const TRepaintRects r = RepaintRects({x, y, x + 1, y + 1}, dmAdaptive, layout.Zoom, w, h,
                                         layout.Width, layout.Height);
    if (r.Dest.IsEmpty()) continue;
    const TDib src = Noise(w, h, seed++);
    TDib expected = Noise(layout.Width, layout.Height, seed++);
    TDib actual = expected;
    ReferenceStretch(src, r.Source, expected, r.Dest);
    StretchBilinear(src.Bits(), src.Stride(), w, h, r.Source, actual, r.Dest, scratch);
    EXPECT_TRUE(actual == expected) << w << "x" << h << " zoom " << layout.Zoom;
  }
}

TEST(StretchBilinear, DegenerateOrOutsideRectanglesDrawNothing) {
  const TDib src = Noise(64, 64, 3);
  const TDib before = Noise(32, 32, 4);
  const struct {
    TRect Source, Dest;
  } cases[] = {
      {{0, 0, 64, 64}, {0, 0, 1, 1}},    // a one-pixel picture
      {{0, 0, 64, 64}, {0, 0, 1, 32}},   // one pixel wide
      {{0, 0, 64, 64}, {0, 0, 32, 1}},   // one pixel high
      {{0, 0, 64, 64}, {0, 0, 33, 32}},  // past the picture
      {{0, 0, 65, 64}, {0, 0, 32, 32}},  // past the source
      {{-1, 0, 64, 64}, {0, 0, 32, 32}},
  };
  for (const auto& c : cases) {
    TDib picture = before;
    TStretchScratch scratch;
    StretchBilinear(src.Bits(), src.Stride(), 64, 64, c.Source, picture, c.Dest, scratch);
    EXPECT_TRUE(picture == before) << c.Dest.Right << "x" << c.Dest.Bottom;
  }
}

class RepainterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FBuffer.SetSize(1024, 768);
    const TPixels24 scene = test::MakeScene(1024, 768, 200, 11);
    const std::vector<uint8_t> image = EncodeBitmapFile(scene, 24);
    std::lock_guard lock(FBuffer);
    FBuffer.ApplyFrame(test::MakeHeader(ftKeyFrame, 0, 0, static_cast<uint32_t>(image.size())),
                       image.data(), image.size());
  }
  TBackBuffer FBuffer;
  TRepainter FRepainter;
};

TEST_F(RepainterTest, ScalesAdaptiveBlocksExactly) {
  TDib picture(512, 384);
  picture.Fill(kBlankPictureColour);
  TDib expected = picture;
  EXPECT_EQ(FRepainter.RepaintRect(FBuffer, picture, {150, 120, 160, 130}, dmAdaptive, 50),
            (TRect{50, 50, 100, 100}));
  ReferenceStretch(FBuffer.Picture(), {100, 100, 200, 200}, expected, {50, 50, 100, 100});
  EXPECT_TRUE(picture == expected);
  EXPECT_EQ(picture.Colour(49, 49), kBlankPictureColour);
  EXPECT_EQ(picture.Colour(100, 100), kBlankPictureColour);
}

TEST_F(RepainterTest, CopiesOneToOneClippedToThePicture) {
  TDib picture(300, 200);
  picture.Fill(kBlankPictureColour);
  // dmOriginal, and dmAdaptive at 100 %, are plain copies of the same rectangle.
  EXPECT_EQ(FRepainter.RepaintRect(FBuffer, picture, {250, 150, 400, 300}, dmOriginal, 1),
            (TRect{250, 150, 300, 200}));
  EXPECT_EQ(FRepainter.RepaintRect(FBuffer, picture, {10, 10, 20, 20}, dmAdaptive, 100),
            (TRect{0, 0, 100, 100}));
  for (const auto& [x, y] : {std::pair{250, 150}, {299, 199}, {0, 0}, {99, 99}})
    EXPECT_EQ(picture.Colour(x, y), FBuffer.Picture().Colour(x, y)) << x << "," << y;
  EXPECT_EQ(picture.Colour(249, 10), kBlankPictureColour);
  EXPECT_EQ(picture.Colour(100, 100), kBlankPictureColour);
  // Outside the picture, and outside the recording: nothing.
  EXPECT_TRUE(FRepainter.RepaintRect(FBuffer, picture, {500, 500, 600, 600}, dmFull, 1).IsEmpty());
  EXPECT_TRUE(
      FRepainter.RepaintRect(FBuffer, picture, {2000, 0, 2100, 10}, dmAdaptive, 50).IsEmpty());
}

TEST_F(RepainterTest, DropsRepaintsWithoutAPicture) {
  TDib picture(512, 384);
  picture.Fill(kBlankPictureColour);
  const TDib before = picture;
  TBackBuffer empty;
  EXPECT_TRUE(FRepainter.RepaintRect(empty, picture, {0, 0, 10, 10}, dmAdaptive, 50).IsEmpty());
  EXPECT_TRUE(FRepainter.RepaintRect(FBuffer, picture, {}, dmAdaptive, 50).IsEmpty());
  // A view one pixel wide shows nothing of the recording.
  TDib thin(1, 384);
  EXPECT_TRUE(FRepainter.RepaintRect(FBuffer, thin, {0, 0, 1024, 768}, dmAdaptive, 1).IsEmpty());
  EXPECT_TRUE(picture == before);
}

}  // namespace
}  // namespace kyv
