#pragma once

#include <cstdint>

#include "source/TransferOptions.h"

namespace kyv {

// When a source that delivered nothing is asked again: the first retry after FirstMs, each
// further one after twice the wait before, at most MaxMs, and a source that has delivered
// nothing for StallLimitMs has stalled. Times are platform-clock milliseconds (timeGetTime).
// Used by one reader thread; no locks.
class TRetryBackoff {
 public:
  static constexpr uint32_t kFirstMs = 300;
  static constexpr uint32_t kMaxMs = 5000;
  // The same as the web stream's own stall limit.
  static constexpr uint32_t kStallLimitMs =
      static_cast<uint32_t>(TInternetTimeouts{}.StallSeconds * 1000);

  explicit TRetryBackoff(uint32_t FirstMs = kFirstMs, uint32_t MaxMs = kMaxMs,
                         uint32_t StallLimitMs = kStallLimitMs)
      : FFirstMs(FirstMs), FMaxMs(MaxMs), FStallLimitMs(StallLimitMs) {}

  // Bytes arrived: the next empty read starts counting anew.
  void Delivered() noexcept { FFailing = false; }
  // A read at Now delivered nothing: the next is due one wait later. True when the source has
  // now delivered nothing for the stall limit.
  bool Failed(uint32_t Now) noexcept;
  // Milliseconds until the next read is due at Now; 0 when it may be made now.
  uint32_t WaitLeft(uint32_t Now) const noexcept;
  bool Failing() const noexcept { return FFailing; }
  uint32_t StallLimitMs() const noexcept { return FStallLimitMs; }

 private:
  const uint32_t FFirstMs;
  const uint32_t FMaxMs;
  const uint32_t FStallLimitMs;
  bool FFailing = false;
  uint32_t FFirstFailure = 0;  // when the run of empty reads began
  uint32_t FLastFailure = 0;
  uint32_t FWait = 0;  // before the next read
};

}  // namespace kyv
