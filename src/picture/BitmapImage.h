#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/BitmapFormat.h"
#include "picture/Dib.h"

namespace kyv {

// How a drawn image meets the picture under it.
enum TRasterOp {
  roCopy,    // the image replaces the picture (SRCCOPY)
  roInvert,  // picture XOR image (SRCINVERT)
};

// A checked view of a BI_RGB bitmap file image of 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel,
// rows bottom-up or top-down, with its colour table. Parse refuses, with EKyvError, every image
// whose headers are not sane or whose colour table or pixel rows do not lie inside both its
// bfSize and the bytes actually available, so that drawing it can never read outside it.
//
// The view borrows the image's bytes; they must outlive it. Any thread; no shared state.
class TBitmapImage {
 public:
  static TBitmapImage Parse(const uint8_t* image, size_t available);

  const TBitmapInfoHeader& Info() const noexcept { return FInfo; }
  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }  // always positive
  int BitCount() const noexcept { return FInfo.biBitCount; }
  bool TopDown() const noexcept { return FInfo.biHeight < 0; }

  // Converts the image into 24 bits straight into target with its top-left corner at
  // (left, top), clipped to the target, combining it with the raster operation. Nothing
  // is allocated.
  void Draw(TDib& target, int left, int top, TRasterOp op) const;

 private:
  TBitmapImage() = default;
  // The stored row that shows line y of the picture, counted from the top.
  const uint8_t* SourceRow(int y) const noexcept;

  TBitmapInfoHeader FInfo{};
  int FWidth = 0;
  int FHeight = 0;
  size_t FStride = 0;
  const uint8_t* FPixels = nullptr;   // the first stored row
  const uint8_t* FColours = nullptr;  // RGBQUADs; only for 8 bits or fewer
  uint32_t FColourCount = 0;          // entries of FColours that are used
};

}  // namespace kyv
