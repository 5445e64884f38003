#include "ui/VirtualKeys.h"

#include <gtest/gtest.h>

namespace kyv {
namespace {

TEST(VirtualKeys, KeysNotCharacters) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_A + i, {}), 65 + i);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_0 + i, Qt::KeypadModifier), 96 + i);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_F1 + i, {}), 112 + i);
  // A shifted symbol gives its key; the keypad keeps its own codes; unknown keys give 0.
  const std::tuple<int, Qt::KeyboardModifiers, int> cases[] = {
      {Qt::Key_Escape, {}, 27},
      {Qt::Key_Return, {}, 13},
      {Qt::Key_Tab, {}, 9},
      {Qt::Key_Backspace, {}, 8},
      {Qt::Key_Space, {}, 32},
      {Qt::Key_Left, {}, 37},
      {Qt::Key_Down, {}, 40},
      {Qt::Key_Home, {}, 36},
      {Qt::Key_PageDown, {}, 34},
      {Qt::Key_Delete, {}, 46},
      {Qt::Key_Shift, {}, 16},
      {Qt::Key_Control, {}, 17},
      {Qt::Key_Alt, {}, 18},
      {Qt::Key_7, {}, 55},
      {Qt::Key_Exclam, Qt::ShiftModifier, 49},
      {Qt::Key_ParenRight, Qt::ShiftModifier, 48},
      {Qt::Key_Colon, Qt::ShiftModifier, 186},
      {Qt::Key_Minus, {}, 189},
      {Qt::Key_Minus, Qt::KeypadModifier, 109},
      {Qt::Key_Enter, Qt::KeypadModifier, 13},
      {Qt::Key_Home, Qt::KeypadModifier, 36},
      {Qt::Key_QuoteDbl, Qt::ShiftModifier, 222},
      {Qt::Key_Eacute, {}, 0},
  };
  for (const auto& [key, modifiers, vk] : cases)
    EXPECT_EQ(VirtualKeyOf(key, modifiers), vk) << std::hex << key;
}

}  // namespace
}  // namespace kyv
