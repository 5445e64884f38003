#pragma once

#include <cstddef>
#include <vector>

#include "picture/Rect.h"

namespace kyv {

// A list of rectangles that the list owns; Clear drops them all.
//
// Not thread-safe; its owner says which lock guards it.
class TRectList {
 public:
  void Add(const TRect& R) { FItems.push_back(R); }
  void Clear() noexcept { FItems.clear(); }
  size_t Count() const noexcept { return FItems.size(); }
  const TRect& operator[](size_t i) const noexcept { return FItems[i]; }
  auto begin() const noexcept { return FItems.begin(); }
  auto end() const noexcept { return FItems.end(); }

 private:
  std::vector<TRect> FItems;
};

}  // namespace kyv
