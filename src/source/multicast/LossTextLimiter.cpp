#include "source/multicast/LossTextLimiter.h"

namespace kyv {

std::string TLossTextLimiter::SummaryText(uint64_t Count) {
  return "Receiver.dll -> " + std::to_string(Count) + " more losses not shown";
}

TLossTextLimiter::TVerdict TLossTextLimiter::Take(uint32_t Now) {
  TVerdict verdict;
  if (!FStarted || Now - FWindowStart >= kWindowMs) {
    if (FSuppressed > 0) verdict.Summary = SummaryText(FSuppressed);
    FStarted = true;
    FWindowStart = Now;
    FShown = 0;
    FSuppressed = 0;
  }
  if (FShown < kTextsPerWindow) {
    ++FShown;
    verdict.ShowText = true;
  } else {
    ++FSuppressed;
  }
  return verdict;
}

std::string TLossTextLimiter::Flush(uint32_t Now) {
  if (FSuppressed == 0 || Now - FWindowStart < kWindowMs) return {};
  const uint64_t count = FSuppressed;
  FSuppressed = 0;
  return SummaryText(count);
}

}  // namespace kyv
