#pragma once

#include <vector>

#include "picture/Rect.h"

namespace kyv {

// A collected area of the picture, the union of every rectangle added, held as rectangles that
// never overlap. The back buffer's alternative to a single dirty rectangle.
//
// Not thread-safe; its owner says which lock guards it.
class Region2D {
 public:
  // Adds R to the collected area; an empty R adds nothing.
  void AddRect(const TRect& R);
  void Clear() noexcept { FRects.clear(); }

  bool IsEmpty() const noexcept { return FRects.empty(); }
  bool Contains(int x, int y) const noexcept;
  // The smallest rectangle holding the whole area; (0, 0, 0, 0) when empty.
  TRect Bounds() const noexcept;
  // Pixels in the area.
  long long Area() const noexcept;
  const std::vector<TRect>& Rects() const noexcept { return FRects; }

 private:
  std::vector<TRect> FRects;  // disjoint, none empty
};

}  // namespace kyv
