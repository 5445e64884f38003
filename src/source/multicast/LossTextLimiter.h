#pragma once

#include <cstdint>
#include <string>

namespace kyv {

// Keeps the loss texts of a receiver from flooding the debugger output: in each window of
// kWindowMs at most kTextsPerWindow texts are shown, and the count of those held back follows as
// one summary line once the window has passed. Times are timeGetTime milliseconds; differences
// are taken unsigned, so the clock's wrap does no harm.
//
// Threads: not locked; one receiver thread owns it.
class TLossTextLimiter {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  static constexpr int kTextsPerWindow = 5;

  struct TVerdict {
    // The line about texts held back in an earlier window, to write first; empty when none.
    std::string Summary;
    // Whether this loss's own text is to be written.
    bool ShowText = false;
  };

  // One loss at Now.
  TVerdict Take(uint32_t Now);
  // The summary of a window that has passed while losses were held back, or "" (for a quiet
  // moment, so that the count does not wait for the next loss).
  std::string Flush(uint32_t Now);

  // The summary line for Count texts held back.
  static std::string SummaryText(uint64_t Count);

 private:
  bool FStarted = false;
  uint32_t FWindowStart = 0;
  int FShown = 0;
  uint64_t FSuppressed = 0;
};

}  // namespace kyv
