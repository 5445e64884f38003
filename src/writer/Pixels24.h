#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyv {

// A picture as the recording writers think of it: top-down rows of 3-byte pixels in the order
// blue, green, red, without row padding.
struct TPixels24 {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Bgr;

  TPixels24() = default;
  TPixels24(int width, int height, uint32_t colour = 0);

  uint8_t* Pixel(int x, int y) { return Bgr.data() + (static_cast<size_t>(y) * Width + x) * 3; }
  const uint8_t* Pixel(int x, int y) const {
    return Bgr.data() + (static_cast<size_t>(y) * Width + x) * 3;
  }
  // Colours are 0x00BBGGRR values.
  uint32_t Colour(int x, int y) const;
  void SetColour(int x, int y, uint32_t colour);
  void Fill(int left, int top, int width, int height, uint32_t colour);  // clipped
  TPixels24 Crop(int left, int top, int width, int height) const;        // must lie inside
  void Paste(const TPixels24& part, int left, int top);                  // clipped

  bool operator==(const TPixels24&) const = default;
};

}  // namespace kyv
