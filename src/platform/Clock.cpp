#include "platform/Clock.h"

#include <chrono>

#include "platform/Errors.h"

namespace kyv {

namespace {
std::atomic<TManualClock*> gManualClock{nullptr};
}

uint32_t timeGetTime() {
  if (const TManualClock* manual = gManualClock.load()) return manual->Now();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

TManualClock::TManualClock(uint32_t start) : FNow(start) {
  TManualClock* expected = nullptr;
  const bool installed = gManualClock.compare_exchange_strong(expected, this);
  KYV_ASSERT(installed);
}

TManualClock::~TManualClock() {
  gManualClock.store(nullptr);
}

}  // namespace kyv
