#include "ui/VirtualKeys.h"

#include <gtest/gtest.h>

namespace kyv {
namespace {

TEST(VirtualKeys, RangesAndNamedKeys) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_A + i, {}), 65 + i);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(VirtualKeyOf(Qt::Key_0 + i, {}), 48 + i);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_0 + i, Qt::KeypadModifier), 96 + i);
  }
  for (int i = 0; i < 24; ++i) EXPECT_EQ(VirtualKeyOf(Qt::Key_F1 + i, {}), 112 + i);
  const std::pair<int, int> named[] = {
      {Qt::Key_Escape, 27},   {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},    {Qt::Key_Tab, 9},
      {Qt::Key_Backtab, 9},   {Qt::Key_Backspace, 8}, {Qt::Key_Space, 32},    {Qt::Key_Left, 37},
      {Qt::Key_Up, 38},       {Qt::Key_Right, 39},    {Qt::Key_Down, 40},     {Qt::Key_Home, 36},
      {Qt::Key_End, 35},      {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_Insert, 45},
      {Qt::Key_Delete, 46},   {Qt::Key_Shift, 16},    {Qt::Key_Control, 17},  {Qt::Key_Alt, 18},
      {Qt::Key_CapsLock, 20}, {Qt::Key_NumLock, 144}, {Qt::Key_unknown, 0},   {Qt::Key_Eacute, 0},
  };
  for (const auto& [key, vk] : named) EXPECT_EQ(VirtualKeyOf(key, {}), vk) << std::hex << key;
}

TEST(VirtualKeys, SymbolsNameTheirKeyAndTheKeypadHasItsOwn) {
  // Both symbols of a key give the key: what a station's keyboard would report.
  const std::tuple<int, int, int> pairs[] = {
      {Qt::Key_Semicolon, Qt::Key_Colon, 186},
      {Qt::Key_Equal, Qt::Key_Plus, 187},
      {Qt::Key_Comma, Qt::Key_Less, 188},
      {Qt::Key_Minus, Qt::Key_Underscore, 189},
      {Qt::Key_Period, Qt::Key_Greater, 190},
      {Qt::Key_Slash, Qt::Key_Question, 191},
      {Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, 192},
      {Qt::Key_BracketLeft, Qt::Key_BraceLeft, 219},
      {Qt::Key_Backslash, Qt::Key_Bar, 220},
      {Qt::Key_BracketRight, Qt::Key_BraceRight, 221},
      {Qt::Key_Apostrophe, Qt::Key_QuoteDbl, 222},
      {Qt::Key_1, Qt::Key_Exclam, 49},
      {Qt::Key_2, Qt::Key_At, 50},
      {Qt::Key_8, Qt::Key_Asterisk, 56},
      {Qt::Key_9, Qt::Key_ParenLeft, 57},
      {Qt::Key_0, Qt::Key_ParenRight, 48},
  };
  for (const auto& [plain, shifted, vk] : pairs) {
    EXPECT_EQ(VirtualKeyOf(plain, {}), vk) << std::hex << plain;
    EXPECT_EQ(VirtualKeyOf(shifted, Qt::ShiftModifier), vk) << std::hex << shifted;
  }
  const std::pair<int, int> keypad[] = {
      {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107}, {Qt::Key_Minus, 109}, {Qt::Key_Period, 110},
      {Qt::Key_Slash, 111},    {Qt::Key_Enter, 13}, {Qt::Key_Home, 36},   {Qt::Key_Clear, 12}};
  for (const auto& [key, vk] : keypad) EXPECT_EQ(VirtualKeyOf(key, Qt::KeypadModifier), vk);
}

}  // namespace
}  // namespace kyv
