#include "control/ControlTimer.h"

#include "platform/Clock.h"

namespace kyv {

void TControlTimer::Start() noexcept {
  FStart = timeGetTime();
  FEnabled = true;
}

bool TControlTimer::Expire(uint32_t Now) noexcept {
  if (!FEnabled || Now - FStart < FInterval) return false;
  FStart = Now;
  return true;
}

std::optional<uint32_t> TControlTimer::Remaining(uint32_t Now) const noexcept {
  if (!FEnabled) return std::nullopt;
  const uint32_t elapsed = Now - FStart;
  return elapsed >= FInterval ? 0 : FInterval - elapsed;
}

}  // namespace kyv
