#include "ui/VirtualKeys.h"

#include <QKeyEvent>

namespace kyv {
namespace {

// The keypad's own codes for the keys that differ from the main block's.
uint16_t KeypadKey(int Key) noexcept {
  if (Key >= Qt::Key_0 && Key <= Qt::Key_9) return static_cast<uint16_t>(96 + (Key - Qt::Key_0));
  switch (Key) {
    case Qt::Key_Asterisk:
      return 106;
    case Qt::Key_Plus:
      return 107;
    case Qt::Key_Minus:
      return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma:  // the decimal key of layouts that write a comma
      return 110;
    case Qt::Key_Slash:
      return 111;
    default:
      return 0;
  }
}

// Codes of the punctuation keys of a US layout (VK_OEM_*), for either of the key's symbols.
uint16_t PunctuationKey(int Key) noexcept {
  switch (Key) {
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return 222;
    // The shifted digits of the top row.
    case Qt::Key_ParenRight:
      return 48;
    case Qt::Key_Exclam:
      return 49;
    case Qt::Key_At:
      return 50;
    case Qt::Key_NumberSign:
      return 51;
    case Qt::Key_Dollar:
      return 52;
    case Qt::Key_Percent:
      return 53;
    case Qt::Key_AsciiCircum:
      return 54;
    case Qt::Key_Ampersand:
      return 55;
    case Qt::Key_Asterisk:
      return 56;
    case Qt::Key_ParenLeft:
      return 57;
    default:
      return 0;
  }
}

uint16_t NamedKey(int Key) noexcept {
  switch (Key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Clear:
      return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return 18;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_CapsLock:
      return 20;
    case Qt::Key_Escape:
      return kVkEscape;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Select:
      return 41;
    case Qt::Key_Execute:
      return 43;
    case Qt::Key_Print:
    case Qt::Key_SysReq:
      return 44;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Help:
      return 47;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
      return 91;
    case Qt::Key_Super_R:
      return 92;
    case Qt::Key_Menu:
      return 93;
    case Qt::Key_Sleep:
      return 95;
    case Qt::Key_NumLock:
      return 144;
    case Qt::Key_ScrollLock:
      return 145;
    case Qt::Key_VolumeMute:
      return 173;
    case Qt::Key_VolumeDown:
      return 174;
    case Qt::Key_VolumeUp:
      return 175;
    case Qt::Key_MediaNext:
      return 176;
    case Qt::Key_MediaPrevious:
      return 177;
    case Qt::Key_MediaStop:
      return 178;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
      return 179;
    default:
      return 0;
  }
}

}  // namespace

uint16_t VirtualKeyOf(int Key, Qt::KeyboardModifiers Modifiers) noexcept {
  if (Modifiers.testFlag(Qt::KeypadModifier))
    if (const uint16_t vk = KeypadKey(Key)) return vk;
  // Letters and digits have the same numbers in both tables.
  if ((Key >= Qt::Key_A && Key <= Qt::Key_Z) || (Key >= Qt::Key_0 && Key <= Qt::Key_9))
    return static_cast<uint16_t>(Key);
  if (Key >= Qt::Key_F1 && Key <= Qt::Key_F24)
    return static_cast<uint16_t>(112 + (Key - Qt::Key_F1));
  if (const uint16_t vk = PunctuationKey(Key)) return vk;
  return NamedKey(Key);
}

uint16_t VirtualKeyOf(const QKeyEvent& Event) noexcept {
  return VirtualKeyOf(Event.key(), Event.modifiers());
}

}  // namespace kyv
