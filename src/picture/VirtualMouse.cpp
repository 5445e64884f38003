#include "picture/VirtualMouse.h"

#include "picture/MouseArrow.h"

namespace kyv {

TVirtualMouse::TVirtualMouse(TDib& target) : FDC(&target) {
  const std::vector<uint8_t>& arrow = BuiltinArrowImage();
  SetShape(arrow.data(), arrow.size());
}

void TVirtualMouse::MoveTo(int X, int Y) {
  if (FVisible) {
    if (X == FX && Y == FY) return;
    Hide();
  }
  if (X == -1 && Y == -1) {
    X = FX;
    Y = FY;
  }
  FSaveBitmap.CopyRect(0, 0, *FDC, X, Y, FWidth, FHeight);
  for (const TRun& run : FRuns)
    FDC->CopyRect(X + run.Start, Y + run.Row, FImage, run.Start, run.Row, run.Length, 1);
  FX = X;
  FY = Y;
  FVisible = true;
}

void TVirtualMouse::Hide() {
  if (!FVisible) return;
  FDC->CopyRect(FX, FY, FSaveBitmap, 0, 0, FWidth, FHeight);
  FVisible = false;
}

bool TVirtualMouse::Intersects(const TRect& R) const noexcept {
  return RectsOverlap(Bounds(), R);
}

void TVirtualMouse::SetShape(const uint8_t* Image, size_t Size) {
  SetShape(TBitmapImage::Parse(Image, Size));
}

void TVirtualMouse::SetShape(const TBitmapImage& Image) {
  if (Image.Width() == FWidth && Image.Height() == FHeight) {
    Hide();
    Image.Draw(FImage, 0, 0, roCopy);
    FindRuns();
    return;
  }
  // Both bitmaps are made before the cursor is touched, so a failure changes nothing.
  TDib image(Image.Width(), Image.Height());
  TDib save(Image.Width(), Image.Height());
  Image.Draw(image, 0, 0, roCopy);
  Hide();
  FImage = std::move(image);
  FSaveBitmap = std::move(save);
  FWidth = Image.Width();
  FHeight = Image.Height();
  FindRuns();
}

void TVirtualMouse::FindRuns() {
  FRuns.clear();  // keeps its capacity: a cursor of unchanged size allocates nothing
  const uint8_t kb = static_cast<uint8_t>(kTransparentColour >> 16),
                kg = static_cast<uint8_t>(kTransparentColour >> 8),
                kr = static_cast<uint8_t>(kTransparentColour);
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* p = FImage.Row(y);
    int start = -1;
    for (int x = 0; x <= FWidth; ++x, p += TDib::kBytesPerPixel) {
      const bool opaque = x < FWidth && (p[0] != kb || p[1] != kg || p[2] != kr);
      if (opaque && start < 0) start = x;
      if (!opaque && start >= 0) {
        FRuns.push_back({y, start, x - start});
        start = -1;
      }
    }
  }
}

}  // namespace kyv
