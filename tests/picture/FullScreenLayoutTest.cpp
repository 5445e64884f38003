#include "picture/FullScreenLayout.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"

namespace kyv {
namespace {

TEST(FullScreenLayout, ReducesToTheTighterBoundAndCentres) {
  struct TCase {
    int W, H, SW, SH;
    TFullScreenLayout Expected;
  };
  const TCase cases[] = {
      {1280, 1024, 1024, 768, {100, 128, 128, 1024, 768, 1024, 768}},
      {1280, 1024, 1600, 1200, {80, 0, 32, 1280, 960, 1600, 1200}},
      {1280, 1024, 1920, 1080, {66, 6, 156, 1267, 712, 1920, 1080}},
      // Taller than the window: the height bounds the zoom.
      {1280, 1024, 800, 2000, {51, 436, 2, 408, 1020, 800, 2000}},
      // Exactly the window's size: never enlarged, never reduced.
      {1280, 1024, 1280, 1024, {100, 0, 0, 1280, 1024, 1280, 1024}},
  };
  for (const TCase& c : cases) {
    TFullScreenLayout layout;
    ASSERT_TRUE(LayoutFullScreen(c.W, c.H, c.SW, c.SH, layout));
    const TFullScreenLayout& e = c.Expected;
    EXPECT_EQ(layout.Zoom, e.Zoom) << c.SW << "x" << c.SH;
    EXPECT_EQ(layout.Left, e.Left) << c.SW << "x" << c.SH;
    EXPECT_EQ(layout.Top, e.Top) << c.SW << "x" << c.SH;
    EXPECT_EQ(layout.Width, e.Width) << c.SW << "x" << c.SH;
    EXPECT_EQ(layout.Height, e.Height) << c.SW << "x" << c.SH;
  }
}

TEST(FullScreenLayout, PictureAlwaysFitsAndIsCentred) {
  for (int sw = 16; sw <= 4096; sw += 173)
    for (int sh = 16; sh <= 4096; sh += 211) {
      TFullScreenLayout l;
      ASSERT_TRUE(LayoutFullScreen(1280, 1024, sw, sh, l));
      ASSERT_LE(l.Zoom, 100);
      ASSERT_GE(l.Left, 0);
      ASSERT_GE(l.Top, 0);
      ASSERT_LE(l.Left + l.Width, 1280);
      ASSERT_LE(l.Top + l.Height, 1024);
      ASSERT_LE(1280 - l.Width - 2 * l.Left, 1);
      ASSERT_LE(1024 - l.Height - 2 * l.Top, 1);
      // The zoom is the largest whole percent at which the recording fits.
      if (l.Zoom < 100) {
        ASSERT_TRUE(sw * (l.Zoom + 1) > 1280 * 100 || sh * (l.Zoom + 1) > 1024 * 100);
      }
    }
}

TEST(FullScreenLayout, NoSizeOrOverflowChangesNothing) {
  TFullScreenLayout layout;
  ASSERT_TRUE(LayoutFullScreen(1280, 1024, 1600, 1200, layout));
  EXPECT_FALSE(LayoutFullScreen(1280, 1024, 0, 768, layout));
  EXPECT_FALSE(LayoutFullScreen(1280, 1024, 1024, 0, layout));
  EXPECT_THROW(LayoutFullScreen(2000000, 1000, 3000000, 30000, layout), EKyvError);
  EXPECT_THROW(LayoutFullScreen(1000, 30000000, 2000, 40000000, layout), EKyvError);
  EXPECT_EQ(layout.Zoom, 80);
  EXPECT_EQ(layout.Width, 1280);
  EXPECT_EQ(layout.ScreenWidth, 1600);
}

TEST(FullScreenLayout, PicturePositionsMapBackIntoTheRecording) {
  TFullScreenLayout layout;
  ASSERT_TRUE(LayoutFullScreen(1280, 1024, 1920, 1080, layout));
  EXPECT_EQ(layout.ToRecording(0, 0), (TPoint{0, 0}));
  EXPECT_EQ(layout.ToRecording(10, 20), (TPoint{15, 30}));
  EXPECT_EQ(layout.ToRecording(1266, 711), (TPoint{1918, 1077}));
  // Past the picture (a drag held outside it): the nearest pixel of the recording.
  EXPECT_EQ(layout.ToRecording(5000, -3), (TPoint{1919, 0}));
  ASSERT_TRUE(LayoutFullScreen(1280, 1024, 1024, 768, layout));
  EXPECT_EQ(layout.ToRecording(10, 20), (TPoint{10, 20}));
  EXPECT_EQ(TFullScreenLayout{}.ToRecording(3, 4), (TPoint{0, 0}));
}

}  // namespace
}  // namespace kyv
