#pragma once

#include <algorithm>

namespace kyv {

// A rectangle of pixels: Left and Top inside, Right and Bottom just outside. Empty when it has no
// width or no height; every empty rectangle counts as (0, 0, 0, 0) where that matters.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  constexpr int Width() const noexcept { return Right - Left; }
  constexpr int Height() const noexcept { return Bottom - Top; }
  constexpr bool IsEmpty() const noexcept { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int x, int y) const noexcept {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  constexpr bool operator==(const TRect&) const = default;
};

// The common part of a and b; (0, 0, 0, 0) when they do not overlap.
constexpr TRect IntersectRect(const TRect& a, const TRect& b) noexcept {
  const TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

// The smallest rectangle holding a and b; an empty operand adds nothing.
constexpr TRect UnionRect(const TRect& a, const TRect& b) noexcept {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

constexpr bool RectsOverlap(const TRect& a, const TRect& b) noexcept {
  return !IntersectRect(a, b).IsEmpty();
}

}  // namespace kyv
