#pragma once

#include <cstdint>
#include <optional>

namespace kyv {

// One of the control's timers, on the platform clock (timeGetTime), so that a test moves it with
// the manual clock instead of waiting. It does not run by itself: the control asks it whether it
// is due (Expire) when its host lets the timers run, and how long until it is (Remaining) to know
// when to be woken. A firing starts the next interval from then, as a window timer does after a
// late tick. Times wrap like the clock. Control's thread only.
class TControlTimer {
 public:
  explicit TControlTimer(uint32_t IntervalMs) noexcept : FInterval(IntervalMs) {}

  // Due one interval from now; a running timer starts over.
  void Start() noexcept;
  void Stop() noexcept { FEnabled = false; }
  bool Enabled() const noexcept { return FEnabled; }
  uint32_t Interval() const noexcept { return FInterval; }

  // True, and the next interval begun, when the timer runs and its interval has passed at Now.
  bool Expire(uint32_t Now) noexcept;
  // Milliseconds until the timer is due (0 when it is); nullopt when it does not run.
  std::optional<uint32_t> Remaining(uint32_t Now) const noexcept;

 private:
  const uint32_t FInterval;
  uint32_t FStart = 0;
  bool FEnabled = false;
};

}  // namespace kyv
