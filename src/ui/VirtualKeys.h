#pragma once

#include <Qt>
#include <cstdint>

class QKeyEvent;

namespace kyv {

// The Windows virtual-key code a live station expects for a key the viewer pressed, from the
// toolkit's key and modifiers. The code names the key, not the character: shifted symbols give
// their key on a US layout ("!" is the key 1, 49), letters are 65-90 whatever the case, and the
// keypad's digits and operators (KeypadModifier) give the keypad's codes. 0 for a key with no
// code, which is then not sent.
uint16_t VirtualKeyOf(int Key, Qt::KeyboardModifiers Modifiers) noexcept;
uint16_t VirtualKeyOf(const QKeyEvent& Event) noexcept;

// Virtual-key codes that the full-screen window acts on itself.
inline constexpr uint16_t kVkEscape = 27;
inline constexpr uint16_t kVkF7 = 118;

}  // namespace kyv
