#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/Rect.h"

namespace kyv {

// A 24-bit picture in memory: rows top-down, pixels blue, green, red, each row padded to a
// multiple of 4 bytes (the padding is kept zero). It stands in for a device-independent bitmap
// section and its device context: every blit clips against both pictures, so callers may pass
// rectangles that reach outside either.
//
// Not thread-safe; its owner says which lock guards it.
class TDib {
 public:
  static constexpr int kBytesPerPixel = 3;
  // Pictures above this many pixel bytes are refused rather than allocated.
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;

  TDib() = default;
  // A black picture; fails with EKyvError for a size that is not positive or too large.
  TDib(int width, int height);

  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  int Stride() const noexcept { return FStride; }
  bool IsEmpty() const noexcept { return FWidth == 0; }
  TRect Bounds() const noexcept { return {0, 0, FWidth, FHeight}; }
  uint8_t* Bits() noexcept { return FPixels.data(); }
  const uint8_t* Bits() const noexcept { return FPixels.data(); }
  size_t SizeBytes() const noexcept { return FPixels.size(); }
  uint8_t* Row(int y) noexcept { return FPixels.data() + static_cast<size_t>(y) * FStride; }
  const uint8_t* Row(int y) const noexcept {
    return FPixels.data() + static_cast<size_t>(y) * FStride;
  }

  // Colours are 0x00BBGGRR values; (x, y) must lie inside.
  uint32_t Colour(int x, int y) const noexcept;
  void SetColour(int x, int y, uint32_t colour) noexcept;
  void Fill(uint32_t colour) noexcept;

  // Blits of width x height pixels from src at (srcX, srcY) to (dstX, dstY) of this picture,
  // clipped so that only pixels inside both pictures are read and written.
  void CopyRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width, int height);
  // Destination XOR source, as SRCINVERT: applying it twice restores the destination.
  void XorRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width, int height);
  // Copies every source pixel except those of exactly the colour key (0x00BBGGRR).
  void TransparentRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width,
                       int height, uint32_t colourKey);

  // Same size and same pixels.
  bool operator==(const TDib& other) const noexcept;

 private:
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
  std::vector<uint8_t> FPixels;
};

// Bytes of one row of a 24-bit picture of the given width: 3 x width rounded up to 4.
constexpr int DibStride(int width) noexcept {
  return (3 * width + 3) & ~3;
}

// d[i] ^= s[i] for n bytes, a word at a time.
void XorBytes(uint8_t* d, const uint8_t* s, size_t n) noexcept;

// Clips a blit of width x height from (srcX, srcY) to (dstX, dstY) against a source of
// srcW x srcH and a destination of dstW x dstH. Returns false when nothing is left.
bool ClipBlit(int dstW, int dstH, int srcW, int srcH, int& dstX, int& dstY, int& srcX, int& srcY,
              int& width, int& height) noexcept;

}  // namespace kyv
