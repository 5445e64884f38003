#include "picture/StretchBilinear.h"

#include <algorithm>
#include <bit>

namespace kyv {
namespace {

// Exact division by a value fixed for the whole call: a multiply and a shift. With n < 2^N,
// l = ceil(log2 d), k = N + l and m = ceil(2^k / d), floor(n m / 2^k) = floor(n / d); the product
// stays below 2^64 while N <= 31.
struct TMagicDivider {
  uint64_t M;
  unsigned K;
  TMagicDivider(uint64_t d, unsigned n) {
    K = n + static_cast<unsigned>(std::bit_width(d - 1));
    M = ((uint64_t{1} << K) + d - 1) / d;
  }
  uint32_t operator()(uint64_t n) const noexcept { return static_cast<uint32_t>((n * M) >> K); }
};

struct TPlainDivider {
  uint64_t D;
  uint32_t operator()(uint64_t n) const noexcept { return static_cast<uint32_t>(n / D); }
};

// Each row first blends its two source rows over the columns the destination reads
// (V = wy x top + fy x bottom, a loop the compiler vectorises), then each destination byte is
// (wx x V(left) + fx x V(right) + half) div D: the same sum as the four-term formula, regrouped.
template <typename TAcc, typename TDivider>
void StretchRows(const uint8_t* Bits, int Stride, int64_t SourceBottom, TDib& Picture,
                 const TRect& Dest, const TStretchScratch::TColumn* Columns, uint32_t First,
                 uint32_t Span, std::vector<TAcc>& Blend, int64_t Dy, TAcc Half,
                 const TDivider& Divider) {
  // A local copy: the byte stores below may alias anything reached through a reference, which
  // would make the compiler reload the divider's constants for every byte.
  const TDivider Divide = Divider;
  const int count = Dest.Right - Dest.Left;
  if (Blend.size() < Span) Blend.resize(Span);
  TAcc* v = Blend.data();
  for (int y = Dest.Top; y < Dest.Bottom; ++y) {
    const int64_t u = (SourceBottom - 1) * y;
    const int64_t sy = u / Dy;
    const TAcc fy = static_cast<TAcc>(u % Dy);
    const TAcc wy = static_cast<TAcc>(Dy) - fy;
    const uint8_t* top = Bits + sy * Stride + First;
    const uint8_t* bottom = fy > 0 ? top + Stride : top;
    for (uint32_t k = 0; k < Span; ++k) v[k] = wy * top[k] + fy * bottom[k];
    uint8_t* out = Picture.Row(y) + static_cast<size_t>(Dest.Left) * 3;
    for (int i = 0; i < count; ++i, out += 3) {
      const TStretchScratch::TColumn& c = Columns[i];
      const TAcc* p = v + (c.Offset - First);
      const TAcc wx = c.Wx, fx = c.Fx;
      const uint32_t r = c.Right;
      out[0] = static_cast<uint8_t>(Divide(wx * p[0] + fx * p[r] + Half));
      out[1] = static_cast<uint8_t>(Divide(wx * p[1] + fx * p[r + 1] + Half));
      out[2] = static_cast<uint8_t>(Divide(wx * p[2] + fx * p[r + 2] + Half));
    }
  }
}

}  // namespace

void StretchBilinear(const uint8_t* Bits, int Stride, int Width, int Height, const TRect& Source,
                     TDib& Picture, const TRect& Dest, TStretchScratch& Scratch) {
  if (Dest.Right <= 1 || Dest.Bottom <= 1) return;
  const int64_t dx = Dest.Right - 1, dy = Dest.Bottom - 1;
  if (dy < Dest.Top || Dest.IsEmpty() || Source.IsEmpty()) return;
  // A rectangle outside either picture would read or write past it: refused whole.
  if (Source.Left < 0 || Source.Top < 0 || Source.Right > Width || Source.Bottom > Height ||
      Dest.Left < 0 || Dest.Top < 0 || Dest.Right > Picture.Width() ||
      Dest.Bottom > Picture.Height())
    return;
  // Rows cannot leave the source: y <= Dy gives sy <= Source.Bottom - 1, and fy > 0 only below
  // that. Columns stay inside for the rectangles the repaint makes; for any others they are held
  // at the picture's edge rather than read past it.
  const int count = Dest.Right - Dest.Left;
  if (Scratch.Columns.size() < static_cast<size_t>(count)) Scratch.Columns.resize(count);
  const int64_t lastColumn = Width - 1;
  for (int i = 0; i < count; ++i) {
    const int64_t c = static_cast<int64_t>(Source.Right - 1) * i;
    const int64_t sx = std::min<int64_t>(Source.Left + c / dx, lastColumn);
    const uint32_t fx = static_cast<uint32_t>(c % dx);
    const int64_t right = fx > 0 ? std::min(sx + 1, lastColumn) : sx;
    Scratch.Columns[i] = {static_cast<uint32_t>(sx * 3), static_cast<uint32_t>((right - sx) * 3),
                          fx, static_cast<uint32_t>(dx) - fx};
  }
  // The source bytes the columns read, the same span in every row.
  const uint32_t first = Scratch.Columns[0].Offset;
  const TStretchScratch::TColumn& last = Scratch.Columns[count - 1];
  const uint32_t span = last.Offset + last.Right + 3 - first;
  const uint64_t d = static_cast<uint64_t>(dx * dy);
  // Every sum is below 256 x D; while that fits 31 bits the sums stay 32-bit and the division is
  // a multiply; larger pictures take the 64-bit road with a plain division.
  const uint64_t limit = 256 * d;
  if (limit < (uint64_t{1} << 31)) {
    StretchRows<uint32_t>(Bits, Stride, Source.Bottom, Picture, Dest, Scratch.Columns.data(), first,
                          span, Scratch.Blend32, dy, static_cast<uint32_t>(d / 2),
                          TMagicDivider(d, static_cast<unsigned>(std::bit_width(limit))));
  } else {
    StretchRows<uint64_t>(Bits, Stride, Source.Bottom, Picture, Dest, Scratch.Columns.data(), first,
                          span, Scratch.Blend64, dy, d / 2, TPlainDivider{d});
  }
}

}  // namespace kyv
