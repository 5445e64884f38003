#include "source/multicast/LossTextLimiter.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kyv {
namespace {

// The lines written for Count losses at Now, in order ("T" for a loss's own text).
std::vector<std::string> Lines(TLossTextLimiter& Limiter, uint32_t Now, int Count) {
  std::vector<std::string> lines;
  for (int i = 0; i < Count; ++i) {
    const TLossTextLimiter::TVerdict verdict = Limiter.Take(Now);
    if (!verdict.Summary.empty()) lines.push_back(verdict.Summary);
    if (verdict.ShowText) lines.push_back("T");
  }
  return lines;
}

constexpr int kShown = TLossTextLimiter::kTextsPerWindow;
constexpr uint32_t kWindow = TLossTextLimiter::kWindowMs;

TEST(LossTextLimiter, AFloodShowsTheFirstTextsThenOneCount) {
  TLossTextLimiter limiter;
  EXPECT_EQ(Lines(limiter, 500, 10'000), std::vector<std::string>(kShown, "T"));
  // Still inside the window: nothing, not even the count.
  EXPECT_EQ(limiter.Flush(500 + kWindow - 1), "");
  EXPECT_EQ(Lines(limiter, 500 + kWindow - 1, 3), std::vector<std::string>{});
  // The next window opens with the count of every text held back, then shows texts again.
  std::vector<std::string> expected{TLossTextLimiter::SummaryText(10'003 - kShown)};
  expected.insert(expected.end(), kShown, "T");
  EXPECT_EQ(Lines(limiter, 500 + kWindow, kShown + 1), expected);
}

TEST(LossTextLimiter, QuietMomentWritesTheCountOnce) {
  TLossTextLimiter limiter;
  Lines(limiter, 0, kShown + 2);
  EXPECT_EQ(limiter.Flush(kWindow), TLossTextLimiter::SummaryText(2));
  EXPECT_EQ(limiter.Flush(kWindow + 1), "");
  // The count was written: the next loss shows its text without a second count.
  EXPECT_EQ(Lines(limiter, kWindow + 2, 1), std::vector<std::string>{"T"});
}

TEST(LossTextLimiter, FewLossesAreAllShownAndTheClockMayWrap) {
  TLossTextLimiter limiter;
  const uint32_t start = UINT32_MAX - 200;
  EXPECT_EQ(Lines(limiter, start, kShown), std::vector<std::string>(kShown, "T"));
  EXPECT_EQ(Lines(limiter, start + 100, 1), std::vector<std::string>{});  // held back
  // Past the wrap, a window later.
  const uint32_t later = start + kWindow;
  EXPECT_LT(later, start);
  EXPECT_EQ(Lines(limiter, later, 1),
            (std::vector<std::string>{TLossTextLimiter::SummaryText(1), "T"}));
  EXPECT_EQ(limiter.Flush(later + 10 * kWindow), "");
}

}  // namespace
}  // namespace kyv
