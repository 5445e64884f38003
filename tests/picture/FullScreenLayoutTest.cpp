#include "picture/FullScreenLayout.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/Errors.h"

namespace kyv {
namespace {

auto Placed(const TFullScreenLayout& l) {
  return std::tuple(l.Zoom, l.Left, l.Top, l.Width, l.Height);
}

TEST(FullScreenLayout, ReducesToTheTighterBoundAndCentres) {
  const std::tuple<int, int, std::tuple<int, int, int, int, int>> cases[] = {
      {1024, 768, {100, 128, 128, 1024, 768}}, {1600, 1200, {80, 0, 32, 1280, 960}},
      {1920, 1080, {66, 6, 156, 1267, 712}},   {800, 2000, {51, 436, 2, 408, 1020}},
      {1280, 1024, {100, 0, 0, 1280, 1024}},
  };
  for (const auto& [sw, sh, expected] : cases) {
    TFullScreenLayout layout;
    ASSERT_TRUE(LayoutFullScreen(1280, 1024, sw, sh, layout));
    EXPECT_EQ(Placed(layout), expected) << sw << "x" << sh;
  }
}

TEST(FullScreenLayout, NoSizeOrOverflowChangesNothing) {
  TFullScreenLayout layout;
  ASSERT_TRUE(LayoutFullScreen(1280, 1024, 1600, 1200, layout));
  EXPECT_FALSE(LayoutFullScreen(1280, 1024, 0, 768, layout));
  EXPECT_THROW(LayoutFullScreen(2000000, 1000, 3000000, 30000, layout), EKyvError);
  EXPECT_THROW(LayoutFullScreen(1000, 30000000, 2000, 40000000, layout), EKyvError);
  EXPECT_EQ(Placed(layout), std::tuple(80, 0, 32, 1280, 960));
}

TEST(FullScreenLayout, PicturePositionsMapBackIntoTheRecording) {
  TFullScreenLayout layout;
  ASSERT_TRUE(LayoutFullScreen(1280, 1024, 1920, 1080, layout));
  EXPECT_EQ(layout.ToRecording(10, 20), (TPoint{15, 30}));
  EXPECT_EQ(layout.ToRecording(1266, 711), (TPoint{1918, 1077}));
  // Past the picture (a drag held outside it): the nearest pixel of the recording.
  EXPECT_EQ(layout.ToRecording(5000, -3), (TPoint{1919, 0}));
  EXPECT_EQ(TFullScreenLayout{}.ToRecording(3, 4), (TPoint{0, 0}));
}

}  // namespace
}  // namespace kyv
