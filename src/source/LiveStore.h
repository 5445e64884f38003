#pragma once

#include <cstdint>

#include "store/FrameRecord.h"

namespace kyv {

struct TPlayContext;

// How a live source puts its frames into the play context's store so that the store stays
// within its budget at any incoming rate and whatever the play thread does (playing, paused,
// stopped, or not made yet):
// - a frame with no key frame before it in the store is dropped;
// - above kTrimBytes the play thread is asked to free what it has played;
// - above kBudgetBytes whole key-frame groups before the newest key frame go at once;
// - when the newest group alone is above the budget, frames are dropped until the next key
//   frame, which then starts the store afresh.
// Every step costs what it frees. Reader thread only; the stores take their own locks.
class TLiveStore {
 public:
  static constexpr int64_t kTrimBytes = 0xF00000;
  static constexpr int64_t kBudgetBytes = 4 * kTrimBytes;

  explicit TLiveStore(TPlayContext& Context) : FContext(Context) {}

  // Stores Frame, a key frame also in the index. Returns its index in the frames buffer, or -1
  // when it was dropped.
  int32_t Add(TFrameRecord Frame);
  // A new opening: nothing is being dropped.
  void Reset() noexcept { FDropping = false; }
  uint64_t DroppedFrames() const noexcept { return FDroppedFrames; }

 private:
  TPlayContext& FContext;
  bool FDropping = false;
  uint64_t FDroppedFrames = 0;  // since the object was made
  uint64_t FDroppedNow = 0;     // in the current run of drops
};

}  // namespace kyv
