#include "writer/Pixels24.h"

#include <algorithm>
#include <cstring>

#include "platform/Errors.h"

namespace kyv {

TPixels24::TPixels24(int width, int height, uint32_t colour)
    : Width(width), Height(height), Bgr(static_cast<size_t>(width) * height * 3) {
  KYV_ASSERT(width >= 0 && height >= 0);
  Fill(0, 0, width, height, colour);
}

uint32_t TPixels24::Colour(int x, int y) const {
  const uint8_t* p = Pixel(x, y);
  return p[2] | (p[1] << 8) | (p[0] << 16);
}

void TPixels24::SetColour(int x, int y, uint32_t colour) {
  uint8_t* p = Pixel(x, y);
  p[0] = static_cast<uint8_t>(colour >> 16);
  p[1] = static_cast<uint8_t>(colour >> 8);
  p[2] = static_cast<uint8_t>(colour);
}

void TPixels24::Fill(int left, int top, int width, int height, uint32_t colour) {
  const int x0 = std::max(left, 0), x1 = std::min(left + width, Width);
  const int y0 = std::max(top, 0), y1 = std::min(top + height, Height);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) SetColour(x, y, colour);
}

TPixels24 TPixels24::Crop(int left, int top, int width, int height) const {
  KYV_ASSERT(left >= 0 && top >= 0 && width >= 0 && height >= 0 && left + width <= Width &&
             top + height <= Height);
  TPixels24 part(width, height);
  for (int y = 0; y < height; ++y)
    std::memcpy(part.Pixel(0, y), Pixel(left, top + y), static_cast<size_t>(width) * 3);
  return part;
}

void TPixels24::Paste(const TPixels24& part, int left, int top) {
  const int x0 = std::max(left, 0), x1 = std::min(left + part.Width, Width);
  const int y0 = std::max(top, 0), y1 = std::min(top + part.Height, Height);
  if (x0 >= x1) return;
  for (int y = y0; y < y1; ++y)
    std::memcpy(Pixel(x0, y), part.Pixel(x0 - left, y - top), static_cast<size_t>(x1 - x0) * 3);
}

}  // namespace kyv
