#include "source/RetryBackoff.h"

#include <algorithm>

namespace kyv {

bool TRetryBackoff::Failed(uint32_t Now) noexcept {
  if (!FFailing) {
    FFailing = true;
    FFirstFailure = Now;
    FWait = FFirstMs;
  } else {
    FWait = std::min(FWait * 2, FMaxMs);
  }
  FLastFailure = Now;
  const uint32_t failingFor = Now - FFirstFailure;
  if (failingFor >= FStallLimitMs) return true;
  // The last retry falls on the stall limit, not a whole wait beyond it.
  FWait = std::min(FWait, FStallLimitMs - failingFor);
  return false;
}

uint32_t TRetryBackoff::WaitLeft(uint32_t Now) const noexcept {
  if (!FFailing) return 0;
  const uint32_t waited = Now - FLastFailure;
  return waited >= FWait ? 0 : FWait - waited;
}

}  // namespace kyv
