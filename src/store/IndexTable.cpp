#include "store/IndexTable.h"

namespace kyv {

TIndexTable::TIndexTable() : FRing(kBoundedCount) {}

void TIndexTable::AddEntry(uint32_t Time, bool Bounded, int64_t Position) {
  std::lock_guard guard(FLock);
  if (FCount > 0 && At(FCount - 1).Time == Time) return;
  if (Bounded && FCount == kBoundedCount) {
    FHead = (FHead + 1) % FRing.size();
    --FCount;
  }
  if (FCount == FRing.size()) {
    std::vector<TIndexTableEntry> grown(FRing.size() * 2);
    for (size_t i = 0; i < FCount; ++i) grown[i] = At(i);
    FRing.swap(grown);
    FHead = 0;
  }
  FRing[(FHead + FCount) % FRing.size()] = {Time, Position};
  ++FCount;
}

void TIndexTable::Clear() {
  std::lock_guard guard(FLock);
  // A large recording's index is not kept alive after it is closed.
  if (FRing.size() > kBoundedCount) std::vector<TIndexTableEntry>(kBoundedCount).swap(FRing);
  FHead = 0;
  FCount = 0;
}

int64_t TIndexTable::FirstTime() const {
  std::lock_guard guard(FLock);
  return FCount == 0 ? int64_t{-1} : int64_t{At(0).Time};
}

int64_t TIndexTable::TimeAtOrBefore(uint32_t Time) const {
  std::lock_guard guard(FLock);
  for (size_t i = FCount; i-- > 0;)
    if (At(i).Time <= Time) return At(i).Time;
  return -1;
}

int64_t TIndexTable::PositionOf(uint32_t Time) const {
  std::lock_guard guard(FLock);
  size_t low = 0;
  size_t high = FCount;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    const uint32_t t = At(mid).Time;
    if (t == Time) return At(mid).Position;
    if (t < Time)
      low = mid + 1;
    else
      high = mid;
  }
  return 0;
}

bool TIndexTable::IsEmpty() const {
  std::lock_guard guard(FLock);
  return FCount == 0;
}

size_t TIndexTable::Count() const {
  std::lock_guard guard(FLock);
  return FCount;
}

}  // namespace kyv
