#include "picture/PictureLayout.h"

#include <algorithm>
#include <cstdint>

namespace kyv {

bool LayoutPicture(int ViewWidth, int ViewHeight, int ScreenWidth, int ScreenHeight,
                   TDisplayMode Mode, TPictureLayout& Layout) noexcept {
  if (ScreenWidth <= 0 || ScreenHeight <= 0) return false;
  const int64_t w = std::max(ViewWidth, 0), h = std::max(ViewHeight, 0);
  const int64_t sw = ScreenWidth, sh = ScreenHeight;
  switch (Mode) {
    case dmAdaptive: {
      Layout.HorzScrollBar = Layout.VertScrollBar = false;
      int64_t zoom = 100;
      if (w < sw || h < sh) zoom = (w * sh - sw * h <= 0) ? w * 100 / sw : h * 100 / sh;
      // Both quotients are at most 100 here, so the results fit the inputs' range.
      Layout.Zoom = static_cast<int>(zoom);
      Layout.Width = static_cast<int>(sw * zoom / 100);
      Layout.Height = static_cast<int>(sh * zoom / 100);
      Layout.Left = static_cast<int>((w - Layout.Width) / 2);
      Layout.Top = static_cast<int>((h - Layout.Height) / 2);
      break;
    }
    case dmOriginal:
      Layout.HorzScrollBar = sw >= w;
      Layout.VertScrollBar = sh >= h;
      Layout.Left = sw < w ? static_cast<int>((w - sw) / 2) : 0;
      Layout.Top = sh < h ? static_cast<int>((h - sh) / 2) : 0;
      Layout.Width = ScreenWidth;
      Layout.Height = ScreenHeight;
      break;
    case dmFull:
      break;
  }
  return true;
}

}  // namespace kyv
