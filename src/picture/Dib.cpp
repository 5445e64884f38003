#include "picture/Dib.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Errors.h"

namespace kyv {

TDib::TDib(int width, int height) {
  // The width bound keeps 3 x width inside int before the byte count is checked.
  if (width <= 0 || height <= 0 || width > (1 << 28) ||
      static_cast<uint64_t>(DibStride(width)) * static_cast<uint64_t>(height) > kMaxBytes)
    throw EKyvError("Picture size " + std::to_string(width) + " x " + std::to_string(height) +
                    " is not possible");
  FWidth = width;
  FHeight = height;
  FStride = DibStride(width);
  FPixels.assign(static_cast<size_t>(FStride) * static_cast<size_t>(height), 0);
}

uint32_t TDib::Colour(int x, int y) const noexcept {
  const uint8_t* p = Row(y) + x * kBytesPerPixel;
  return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
}

void TDib::SetColour(int x, int y, uint32_t colour) noexcept {
  uint8_t* p = Row(y) + x * kBytesPerPixel;
  p[0] = static_cast<uint8_t>(colour >> 16);
  p[1] = static_cast<uint8_t>(colour >> 8);
  p[2] = static_cast<uint8_t>(colour);
}

void TDib::Fill(uint32_t colour) noexcept {
  if (FHeight == 0) return;
  for (int x = 0; x < FWidth; ++x) SetColour(x, 0, colour);
  for (int y = 1; y < FHeight; ++y) std::memcpy(Row(y), Row(0), static_cast<size_t>(FStride));
}

void XorBytes(uint8_t* d, const uint8_t* s, size_t n) noexcept {
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    uint64_t a[4], b[4];
    std::memcpy(a, d + i, 32);
    std::memcpy(b, s + i, 32);
    for (int k = 0; k < 4; ++k) a[k] ^= b[k];
    std::memcpy(d + i, a, 32);
  }
  for (; i < n; ++i) d[i] ^= s[i];
}

bool ClipBlit(int dstW, int dstH, int srcW, int srcH, int& dstX, int& dstY, int& srcX, int& srcY,
              int& width, int& height) noexcept {
  // In 64 bits so that positions near the ends of int cannot overflow.
  auto clipAxis = [](int64_t dstSize, int64_t srcSize, int& d, int& s, int& n) {
    int64_t dd = d, ss = s, nn = n;
    if (dd < 0) {
      ss -= dd;
      nn += dd;
      dd = 0;
    }
    if (ss < 0) {
      dd -= ss;
      nn += ss;
      ss = 0;
    }
    nn = std::min({nn, dstSize - dd, srcSize - ss});
    if (nn <= 0) return false;
    d = static_cast<int>(dd);
    s = static_cast<int>(ss);
    n = static_cast<int>(nn);
    return true;
  };
  return clipAxis(dstW, srcW, dstX, srcX, width) && clipAxis(dstH, srcH, dstY, srcY, height);
}

void TDib::CopyRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width,
                    int height) {
  if (!ClipBlit(FWidth, FHeight, src.FWidth, src.FHeight, dstX, dstY, srcX, srcY, width, height))
    return;
  const size_t bytes = static_cast<size_t>(width) * kBytesPerPixel;
  for (int y = 0; y < height; ++y)
    std::memmove(Row(dstY + y) + dstX * kBytesPerPixel, src.Row(srcY + y) + srcX * kBytesPerPixel,
                 bytes);
}

void TDib::XorRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width, int height) {
  if (!ClipBlit(FWidth, FHeight, src.FWidth, src.FHeight, dstX, dstY, srcX, srcY, width, height))
    return;
  const size_t bytes = static_cast<size_t>(width) * kBytesPerPixel;
  for (int y = 0; y < height; ++y) {
    uint8_t* d = Row(dstY + y) + dstX * kBytesPerPixel;
    const uint8_t* s = src.Row(srcY + y) + srcX * kBytesPerPixel;
    XorBytes(d, s, bytes);
  }
}

void TDib::TransparentRect(int dstX, int dstY, const TDib& src, int srcX, int srcY, int width,
                           int height, uint32_t colourKey) {
  if (!ClipBlit(FWidth, FHeight, src.FWidth, src.FHeight, dstX, dstY, srcX, srcY, width, height))
    return;
  const uint8_t kb = static_cast<uint8_t>(colourKey >> 16),
                kg = static_cast<uint8_t>(colourKey >> 8), kr = static_cast<uint8_t>(colourKey);
  for (int y = 0; y < height; ++y) {
    uint8_t* d = Row(dstY + y) + dstX * kBytesPerPixel;
    const uint8_t* s = src.Row(srcY + y) + srcX * kBytesPerPixel;
    for (int x = 0; x < width; ++x, d += kBytesPerPixel, s += kBytesPerPixel)
      if (s[0] != kb || s[1] != kg || s[2] != kr) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
  }
}

bool TDib::operator==(const TDib& other) const noexcept {
  return FWidth == other.FWidth && FHeight == other.FHeight && FPixels == other.FPixels;
}

}  // namespace kyv
