#pragma once

#include "picture/DisplayMode.h"

namespace kyv {

// Where the detail view puts its picture and at what scale. Toolkit-free, so that the view and
// kyvtool lay out the same way.
struct TPictureLayout {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Zoom = 1;  // percent, set by dmAdaptive only
  bool HorzScrollBar = false;
  bool VertScrollBar = false;
};

// Lays the picture of a ScreenWidth x ScreenHeight recording out in a ViewWidth x ViewHeight view
// for Mode, changing Layout in place: dmAdaptive reduces (keeping proportions) and centres,
// dmOriginal shows 1:1, centred along an axis where it fits and at 0 with that axis's scroll bar
// where it does not, and keeps the zoom; dmFull leaves the layout alone. Returns false, with
// nothing changed, when the recording has no size; the caller then keeps its bitmap too.
// The products are taken in 64 bits, so no view or recording size can overflow them.
bool LayoutPicture(int ViewWidth, int ViewHeight, int ScreenWidth, int ScreenHeight,
                   TDisplayMode Mode, TPictureLayout& Layout) noexcept;

// The colour (0x00BBGGRR) of a freshly laid-out picture until its first repaint: blue.
inline constexpr uint32_t kBlankPictureColour = 0x00FF0000;

}  // namespace kyv
