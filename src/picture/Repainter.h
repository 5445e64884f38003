#pragma once

#include "picture/BackBuffer.h"
#include "picture/Dib.h"
#include "picture/DisplayMode.h"
#include "picture/Rect.h"
#include "picture/StretchBilinear.h"

namespace kyv {

// The rectangles of one repaint: what is read from the back buffer and where it goes in the
// picture.
struct TRepaintRects {
  TRect Source;
  TRect Dest;
};

// Adaptive repaints work on whole 100-pixel blocks of the recording.
inline constexpr int kRepaintBlock = 100;

// The destination of a changed rectangle. dmFull and dmOriginal copy 1:1. dmAdaptive widens the
// change to whole blocks (clipped at the recording's right and bottom edges) and scales it by
// Zoom percent, clipped at the picture's right and bottom edges.
TRepaintRects RepaintRects(const TRect& Changed, TDisplayMode Mode, int Zoom, int ScreenWidth,
                           int ScreenHeight, int PictureWidth, int PictureHeight) noexcept;

// Copies changed parts of the play thread's back buffer into a view's picture, scaling them in
// dmAdaptive. Keeps its scaling tables between calls, so a repaint allocates nothing once the
// picture's width has been seen.
//
// Threads: the UI thread, one repainter per picture. It takes the back buffer's lock while it
// reads, so the play thread cannot change the picture in the middle of a copy.
class TRepainter {
 public:
  // Repaints Changed (in recording coordinates) into Picture. Returns the picture's rectangle
  // that changed and must be shown again, empty when nothing was drawn: a back buffer without a
  // picture, an empty change, or a rectangle that falls outside the picture.
  TRect RepaintRect(TBackBuffer& Buffer, TDib& Picture, const TRect& Changed, TDisplayMode Mode,
                    int Zoom);

 private:
  TStretchScratch FScratch;
};

}  // namespace kyv
