#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/BitmapImage.h"
#include "picture/Dib.h"
#include "picture/Rect.h"

namespace kyv {

// The captured mouse cursor painted into the picture with a transparent colour. It keeps the
// pixels it covers and puts them back when it moves, changes shape or is about to be overdrawn,
// so the picture always shows the screen plus at most one cursor.
//
// Used only by the thread that applies frames, inside the back buffer's lock; not thread-safe.
class TVirtualMouse {
 public:
  // Pure red, 0x00BBGGRR: pixels of exactly this colour are not painted.
  static constexpr uint32_t kTransparentColour = 0x000000FF;

  // Hidden at (0, 0) with the built-in arrow. The target is borrowed and must outlive the cursor.
  explicit TVirtualMouse(TDib& target);
  // Leaves a painted cursor in the picture.
  ~TVirtualMouse() = default;
  TVirtualMouse(const TVirtualMouse&) = delete;
  TVirtualMouse& operator=(const TVirtualMouse&) = delete;

  // Paints the cursor at (X, Y), saving what it covers first. A visible cursor at that very
  // place stays as it is; (-1, -1) paints it again at its current place.
  void MoveTo(int X, int Y);
  // Puts the saved pixels back, also where the cursor stood partly outside the picture.
  void Hide();
  // Whether R overlaps the cursor's rectangle at its last place, painted or not.
  bool Intersects(const TRect& R) const noexcept;
  // Hides the cursor and gives it the image's shape; it reappears with the next MoveTo. An image
  // of the current size is written into the existing bitmaps. A bad image is refused with
  // EKyvError before anything changes.
  void SetShape(const uint8_t* Image, size_t Size);
  void SetShape(const TBitmapImage& Image);

  bool Visible() const noexcept { return FVisible; }
  int X() const noexcept { return FX; }
  int Y() const noexcept { return FY; }
  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  TRect Bounds() const noexcept { return {FX, FY, FX + FWidth, FY + FHeight}; }
  const TDib& Image() const noexcept { return FImage; }
  const TDib& SaveBitmap() const noexcept { return FSaveBitmap; }

 private:
  // A stretch of one row of the image without the transparent colour.
  struct TRun {
    int Row, Start, Length;
  };
  void FindRuns();

  bool FVisible = false;
  int FWidth = 0;
  int FHeight = 0;
  TDib FSaveBitmap;  // the picture's pixels under the painted cursor
  TDib FImage;
  std::vector<TRun> FRuns;  // the opaque parts of FImage, so painting is a few plain copies
  TDib* FDC;                // the target picture; not owned
  int FX = 0;
  int FY = 0;
};

}  // namespace kyv
