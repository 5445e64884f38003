#include "ui/VirtualKeys.h"

#include <gtest/gtest.h>

namespace kyv {
namespace {

TEST(VirtualKeys, KeysNotCharacters) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_A + i, {}), 65 + i);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_0 + i, Qt::KeypadModifier), 96 + i);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_F1 + i, {}), 112 + i);
  // A shifted symbol gives its key, the keypad its own codes, a key without a code 0.
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Colon, Qt::ShiftModifier), 186);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Minus, Qt::KeypadModifier), 109);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Home, Qt::KeypadModifier), 36);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Eacute, {}), 0);
}

}  // namespace
}  // namespace kyv
