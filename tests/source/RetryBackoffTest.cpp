#include "source/RetryBackoff.h"

#include <vector>

#include <gtest/gtest.h>

namespace kyv {
namespace {

// Each empty read is followed by a wait twice as long as the one before, at most the maximum,
// and the last one falls exactly on the stall limit; bytes start the count anew.
TEST(RetryBackoff, WaitsGrowUpToTheMaximumAndTheLastFallsOnTheStallLimit) {
  TRetryBackoff backoff(300, 5000, 15000);
  uint32_t now = 0xFFFFF000;  // across the clock's wrap
  const uint32_t start = now;
  std::vector<uint32_t> waits;
  while (!backoff.Failed(now)) {
    waits.push_back(backoff.WaitLeft(now));
    EXPECT_EQ(backoff.WaitLeft(now + waits.back() - 1), 1u);
    now += waits.back();
    EXPECT_EQ(backoff.WaitLeft(now), 0u);
  }
  EXPECT_EQ(waits, (std::vector<uint32_t>{300, 600, 1200, 2400, 4800, 5000, 700}));
  EXPECT_EQ(now - start, 15000u);
  backoff.Delivered();
  EXPECT_EQ(backoff.WaitLeft(now), 0u);
  EXPECT_FALSE(backoff.Failed(now));
  EXPECT_EQ(backoff.WaitLeft(now), 300u);
}

}  // namespace
}  // namespace kyv
