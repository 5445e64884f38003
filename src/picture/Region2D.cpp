#include "picture/Region2D.h"

namespace kyv {

namespace {

// Appends to out the parts of r that lie outside cut: at most four pieces, none overlapping.
void Subtract(const TRect& r, const TRect& cut, std::vector<TRect>& out) {
  const TRect common = IntersectRect(r, cut);
  if (common.IsEmpty()) {
    out.push_back(r);
    return;
  }
  if (r.Top < common.Top) out.push_back({r.Left, r.Top, r.Right, common.Top});
  if (common.Bottom < r.Bottom) out.push_back({r.Left, common.Bottom, r.Right, r.Bottom});
  if (r.Left < common.Left) out.push_back({r.Left, common.Top, common.Left, common.Bottom});
  if (common.Right < r.Right) out.push_back({common.Right, common.Top, r.Right, common.Bottom});
}

}  // namespace

void Region2D::AddRect(const TRect& R) {
  if (R.IsEmpty()) return;
  // Only the parts of R not yet covered are added, so the pieces stay disjoint.
  std::vector<TRect> pieces{R}, next;
  for (const TRect& held : FRects) {
    next.clear();
    for (const TRect& piece : pieces) Subtract(piece, held, next);
    pieces.swap(next);
    if (pieces.empty()) return;
  }
  FRects.insert(FRects.end(), pieces.begin(), pieces.end());
}

bool Region2D::Contains(int x, int y) const noexcept {
  for (const TRect& r : FRects)
    if (r.Contains(x, y)) return true;
  return false;
}

TRect Region2D::Bounds() const noexcept {
  TRect bounds;
  for (const TRect& r : FRects) bounds = UnionRect(bounds, r);
  return bounds;
}

long long Region2D::Area() const noexcept {
  long long area = 0;
  for (const TRect& r : FRects) area += static_cast<long long>(r.Width()) * r.Height();
  return area;
}

}  // namespace kyv
