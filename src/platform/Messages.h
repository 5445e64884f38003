#pragma once

#include <cstdint>

namespace kyv {

// Message numbers, with the pointer-sized parameters of the original design: a parameter may
// carry the address of a heap block handed to the receiver.
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;

inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 1024;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
};

}  // namespace kyv
