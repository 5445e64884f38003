#include "ui/VirtualKeys.h"

#include <gtest/gtest.h>

namespace kyv {
namespace {

TEST(VirtualKeys, KeysNotCharacters) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_A + i, {}), 65 + i);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_0 + i, Qt::KeypadModifier), 96 + i);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_F1 + i, {}), 112 + i);
  // A shifted symbol gives its key, the keypad its own codes, a key without a code 0.
  const int plain[][2] = {{Qt::Key_Escape, 27}, {Qt::Key_Return, 13}, {Qt::Key_Backspace, 8},
                          {Qt::Key_Down, 40},   {Qt::Key_Delete, 46}, {Qt::Key_Alt, 18},
                          {Qt::Key_7, 55},      {Qt::Key_Minus, 189}, {Qt::Key_Eacute, 0}};
  for (const auto& [key, vk] : plain) EXPECT_EQ(VirtualKeyOf(key, {}), vk) << std::hex << key;
  const int shifted[][2] = {
      {Qt::Key_ParenRight, 48}, {Qt::Key_Colon, 186}, {Qt::Key_QuoteDbl, 222}};
  for (const auto& [key, vk] : shifted) EXPECT_EQ(VirtualKeyOf(key, Qt::ShiftModifier), vk);
  const int keypad[][2] = {{Qt::Key_Minus, 109}, {Qt::Key_Enter, 13}, {Qt::Key_Home, 36}};
  for (const auto& [key, vk] : keypad) EXPECT_EQ(VirtualKeyOf(key, Qt::KeypadModifier), vk);
}

}  // namespace
}  // namespace kyv
