#include "picture/FullScreenLayout.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/Errors.h"

namespace kyv {
namespace {

auto Placed(const TFullScreenLayout& l) {
  return std::tuple(l.Zoom, l.Left, l.Top, l.Width, l.Height);
}

TEST(FullScreenLayout, ReducesToTheTighterBoundCentresAndMapsBack) {
  const std::tuple<int, int, std::tuple<int, int, int, int, int>> cases[] = {
      {1024, 768, {100, 128, 128, 1024, 768}},
      {1600, 1200, {80, 0, 32, 1280, 960}},
      {800, 2000, {51, 436, 2, 408, 1020}},
      {1920, 1080, {66, 6, 156, 1267, 712}},
  };
  TFullScreenLayout layout;
  for (const auto& [sw, sh, expected] : cases) {
    ASSERT_TRUE(LayoutFullScreen(1280, 1024, sw, sh, layout));
    EXPECT_EQ(Placed(layout), expected) << sw << "x" << sh;
  }
  EXPECT_EQ(layout.ToRecording(1266, 711), (TPoint{1918, 1077}));
  EXPECT_EQ(layout.ToRecording(5000, -3), (TPoint{1919, 0}));  // a drag held past the picture
  // No size, or an overflow, changes nothing.
  EXPECT_FALSE(LayoutFullScreen(1280, 1024, 0, 768, layout));
  EXPECT_THROW(LayoutFullScreen(2000000, 1000, 3000000, 30000, layout), EKyvError);
  EXPECT_EQ(Placed(layout), std::tuple(66, 6, 156, 1267, 712));
}

}  // namespace
}  // namespace kyv
