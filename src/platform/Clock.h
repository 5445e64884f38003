#pragma once

#include <atomic>
#include <cstdint>

namespace kyv {

// Milliseconds of a monotonic clock as an unsigned 32-bit count that wraps after 49.7 days;
// the players pace and measure with differences of these values.
uint32_t timeGetTime();

// A clock that tests move by hand. While one is installed, timeGetTime reads it.
class TManualClock {
 public:
  explicit TManualClock(uint32_t start = 0);
  ~TManualClock();  // uninstalls itself
  TManualClock(const TManualClock&) = delete;
  TManualClock& operator=(const TManualClock&) = delete;

  uint32_t Now() const { return FNow.load(); }
  void Set(uint32_t now) { FNow.store(now); }
  void Advance(uint32_t ms) { FNow.fetch_add(ms); }

 private:
  std::atomic<uint32_t> FNow;
};

}  // namespace kyv
