#pragma once

#include <cstdint>
#include <vector>

#include "decoder/FileFormat.h"
#include "picture/Dib.h"
#include "writer/Pixels24.h"

namespace kyv::test {

// Colours whose components survive 5-5-5 storage unchanged: each is its top five bits widened.
inline constexpr uint8_t kExactLevels[] = {0x00, 0x42, 0x84, 0xC6, 0xFF};

// A picture of width x height in at most colourCount colours, scattered so that neighbouring
// pixels differ; with exact set, only colours that 5-5-5 keeps.
inline TPixels24 MakeScene(int width, int height, int colourCount, uint32_t seed,
                           bool exact = false) {
  std::vector<uint32_t> colours;
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int i = 0; i < colourCount; ++i) {
    if (exact) {
      colours.push_back(kExactLevels[i % 5] | (kExactLevels[(i / 5) % 5] << 8) |
                        (kExactLevels[(i / 25) % 5] << 16));
    } else {
      colours.push_back(next() & 0xFFFFFF);
    }
  }
  TPixels24 picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.SetColour(x, y, colours[next() % colours.size()]);
  return picture;
}

inline TDib ToDib(const TPixels24& p) {
  TDib dib(p.Width, p.Height);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) dib.SetColour(x, y, p.Colour(x, y));
  return dib;
}

inline TPixels24 ToPixels(const TDib& dib) {
  TPixels24 p(dib.Width(), dib.Height());
  for (int y = 0; y < dib.Height(); ++y)
    for (int x = 0; x < dib.Width(); ++x) p.SetColour(x, y, dib.Colour(x, y));
  return p;
}

inline TFrameHeader MakeHeader(int16_t type, int left, int top, uint32_t dataSize, int mouseX = 0,
                               int mouseY = 0) {
  TFrameHeader h{};
  h.FrameType = type;
  h.Left = static_cast<uint16_t>(left);
  h.Top = static_cast<uint16_t>(top);
  h.DataSize = dataSize;
  h.MouseX = static_cast<uint16_t>(mouseX);
  h.MouseY = static_cast<uint16_t>(mouseY);
  return h;
}

}  // namespace kyv::test
