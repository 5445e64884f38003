#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kyv {

// One key frame of the time index.
struct TIndexTableEntry {
  uint32_t Time;     // compared as unsigned
  int64_t Position;  // of the key frame's record from the start of the frame area; 0 when live
};

// The time index: key-frame times and their positions in the source, in ascending Time. A
// recording's index is loaded whole (unbounded); live sources add in bounded mode, so that only
// the last kBoundedCount key frames are kept.
//
// Every member takes the table's lock for its whole duration; any thread may call them. Times
// come back as int64_t so that every u32 time and the -1 of "none" both fit.
class TIndexTable {
 public:
  static constexpr size_t kBoundedCount = 1024;

  TIndexTable();
  TIndexTable(const TIndexTable&) = delete;
  TIndexTable& operator=(const TIndexTable&) = delete;

  // Appends an entry, unless the last entry already carries Time. When Bounded and the table
  // holds exactly kBoundedCount entries, the oldest is dropped to make room.
  void AddEntry(uint32_t Time, bool Bounded, int64_t Position);
  void Clear();

  // The first entry's Time; -1 when empty.
  int64_t FirstTime() const;
  // The Time of the last entry whose Time <= Time; -1 when there is none.
  int64_t TimeAtOrBefore(uint32_t Time) const;
  // The Position of the entry whose Time equals Time (binary search); 0 when there is none.
  int64_t PositionOf(uint32_t Time) const;
  bool IsEmpty() const;
  size_t Count() const;

 private:
  // Caller holds FLock. Entry I counted from the oldest.
  const TIndexTableEntry& At(size_t I) const { return FRing[(FHead + I) % FRing.size()]; }

  mutable std::mutex FLock;
  // A ring that grows (in unbounded mode only) and so never allocates in bounded mode; all three
  // guarded by FLock.
  std::vector<TIndexTableEntry> FRing;
  size_t FHead = 0;
  size_t FCount = 0;
};

}  // namespace kyv
