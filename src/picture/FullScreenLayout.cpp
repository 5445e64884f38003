#include "picture/FullScreenLayout.h"

#include <algorithm>
#include <cstdint>

#include "platform/Errors.h"

namespace kyv {
namespace {

[[noreturn]] void Overflow() {
  throw EKyvError("Arithmetic overflow in the full-screen layout");
}

int32_t Mul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) Overflow();
  return r;
}

int32_t Sub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) Overflow();
  return r;
}

int32_t Div(int32_t a, int32_t b) {
  // INT32_MIN / -1 is the one quotient that does not fit.
  if (b == 0 || (a == INT32_MIN && b == -1)) Overflow();
  return a / b;
}

}  // namespace

bool LayoutFullScreen(int WindowWidth, int WindowHeight, int ScreenWidth, int ScreenHeight,
                      TFullScreenLayout& Layout) {
  if (ScreenWidth <= 0 || ScreenHeight <= 0) return false;
  const int32_t w = WindowWidth, h = WindowHeight, sw = ScreenWidth, sh = ScreenHeight;
  int32_t zoom = 100;
  if (w < sw || h < sh)
    zoom = Sub(Mul(w, sh), Mul(sw, h)) <= 0 ? Div(Mul(w, 100), sw) : Div(Mul(h, 100), sh);
  const int32_t height = Div(Mul(sh, zoom), 100), width = Div(Mul(sw, zoom), 100);
  Layout = {zoom, Div(Sub(w, width), 2), Div(Sub(h, height), 2), width, height, sw, sh};
  return true;
}

TPoint TFullScreenLayout::ToRecording(int X, int Y) const noexcept {
  // A zoom of 0 (a window too small for one percent) shows nothing, so no position maps.
  if (Zoom <= 0) return {};
  const auto back = [this](int v, int size) {
    const int64_t r = int64_t{std::max(v, 0)} * 100 / Zoom;
    return static_cast<int>(std::clamp<int64_t>(r, 0, std::max(size - 1, 0)));
  };
  return {back(X, ScreenWidth), back(Y, ScreenHeight)};
}

}  // namespace kyv
