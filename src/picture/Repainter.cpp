#include "picture/Repainter.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace kyv {

TRepaintRects RepaintRects(const TRect& Changed, TDisplayMode Mode, int Zoom, int ScreenWidth,
                           int ScreenHeight, int PictureWidth, int PictureHeight) noexcept {
  if (Mode != dmAdaptive) return {Changed, Changed};
  constexpr int b = kRepaintBlock;
  const TRect s{Changed.Left / b * b, Changed.Top / b * b,
                std::min((Changed.Right / b + 1) * b, ScreenWidth),
                std::min((Changed.Bottom / b + 1) * b, ScreenHeight)};
  // In 64 bits, so that no zoom a caller passes can overflow the product.
  const auto scale = [Zoom](int v) { return static_cast<int>(int64_t{Zoom} * v / 100); };
  return {s,
          {scale(s.Left), scale(s.Top), std::min(scale(s.Right), PictureWidth),
           std::min(scale(s.Bottom), PictureHeight)}};
}

TRect TRepainter::RepaintRect(TBackBuffer& Buffer, TDib& Picture, const TRect& Changed,
                              TDisplayMode Mode, int Zoom) {
  std::lock_guard lock(Buffer);
  if (!Buffer.Created() || Changed.IsEmpty() || Picture.IsEmpty()) return {};
  const TRect changed = IntersectRect(Changed, {0, 0, Buffer.Width(), Buffer.Height()});
  if (changed.IsEmpty()) return {};
  const TRepaintRects r = RepaintRects(changed, Mode, Zoom, Buffer.Width(), Buffer.Height(),
                                       Picture.Width(), Picture.Height());
  if (r.Source == r.Dest) {
    // A plain block copy, clipped to the picture (a full-screen picture may be smaller).
    const TRect shown = IntersectRect(r.Dest, Picture.Bounds());
    if (shown.IsEmpty()) return {};
    Picture.CopyRect(shown.Left, shown.Top, Buffer.Picture(), shown.Left, shown.Top, shown.Width(),
                     shown.Height());
    return shown;
  }
  if (r.Dest.Right <= 1 || r.Dest.Bottom <= 1 || r.Dest.IsEmpty()) return {};
  StretchBilinear(Buffer.Bits(), Buffer.BytesPerLine(), Buffer.Width(), Buffer.Height(), r.Source,
                  Picture, r.Dest, FScratch);
  return r.Dest;
}

}  // namespace kyv
