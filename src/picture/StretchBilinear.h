#pragma once

#include <cstdint>
#include <vector>

#include "picture/Dib.h"
#include "picture/Rect.h"

namespace kyv {

// Per-call tables of StretchBilinear, kept by the caller so that repeated calls allocate nothing
// once they have seen their widest destination.
struct TStretchScratch {
  struct TColumn {
    uint32_t Offset;  // byte offset of the left source pixel in its row
    uint32_t Right;   // 3 when the right neighbour takes part, else 0
    uint32_t Fx;      // weight of the right neighbour
    uint32_t Wx;      // weight of the left pixel
  };
  std::vector<TColumn> Columns;
  std::vector<uint32_t> Blend32;  // one row's blend of its two source rows
  std::vector<uint64_t> Blend64;  // the same for pictures whose sums need 64 bits
};

// Scales the Source rectangle of a 24-bit top-down picture (Bits, Stride bytes a row, Width x
// Height pixels) into the Dest rectangle of Picture by integer bilinear interpolation. Rows map
// from the absolute destination row: u = (Source.Bottom - 1) x y over Dy = Dest.Bottom - 1;
// columns from the offset i inside Dest added to Source.Left: c = (Source.Right - 1) x i over
// Dx = Dest.Right - 1. Each byte is (weights x neighbours + (Dx x Dy) div 2) div (Dx x Dy).
// Dest.Right or Dest.Bottom of 1 (or less) draws nothing, and so does a Source or Dest reaching
// outside its picture. A column the mapping would take past the source picture's right edge is
// read at that edge.
void StretchBilinear(const uint8_t* Bits, int Stride, int Width, int Height, const TRect& Source,
                     TDib& Picture, const TRect& Dest, TStretchScratch& Scratch);

}  // namespace kyv
