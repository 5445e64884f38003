#include "source/live/RemoteInput.h"

#include <gtest/gtest.h>

namespace kyv {
namespace {

TEST(RemoteInput, KeyTextsByteForByte) {
  EXPECT_EQ(KeyboardRequest(65, false),
            "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=65\r\nbScan=0\r\ndwFlags=0");
  EXPECT_EQ(KeyboardRequest(65535, true),
            "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=65535\r\nbScan=0\r\ndwFlags=2");
}

TEST(RemoteInput, MouseTextsAndButtonFlags) {
  EXPECT_EQ(MouseRequest(mfMoveAbsolute, 10, 20),
            "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=32769\r\ndx=10\r\ndy=20\r\ndwData=0");
  const int32_t expected[3][2] = {{2, 4}, {8, 16}, {32, 64}};
  for (int button = 0; button < 3; ++button) {
    EXPECT_EQ(MouseButtonFlags(button, false), expected[button][0]);
    EXPECT_EQ(MouseButtonFlags(button, true), expected[button][1]);
  }
  EXPECT_EQ(MouseButtonFlags(3, false), 0);
  EXPECT_EQ(MouseButtonFlags(-1, true), 0);
}

}  // namespace
}  // namespace kyv
