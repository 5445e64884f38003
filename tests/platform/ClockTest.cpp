// The millisecond clock, the manual clock of the tests, time texts and assertion failures.
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Errors.h"
#include "platform/FormatSeconds.h"

namespace kyv {
namespace {

TEST(Clock, RealClockNeverGoesBack) {
  uint32_t previous = timeGetTime();
  for (int i = 0; i < 10000; ++i) {
    const uint32_t now = timeGetTime();
    // Differences are taken modulo 2^32; a step back would show as a huge one.
    ASSERT_LT(static_cast<uint32_t>(now - previous), 0x80000000u);
    previous = now;
  }
}

TEST(Clock, ManualClockDrivesTimeGetTimeOnlyWhileInstalled) {
  const uint32_t real = timeGetTime();
  {
    TManualClock clock(real + 0x40000000u);
    EXPECT_EQ(timeGetTime(), real + 0x40000000u);
    EXPECT_EQ(timeGetTime(), timeGetTime());  // stands still until moved
    clock.Advance(250);
    EXPECT_EQ(timeGetTime(), real + 0x40000000u + 250);
    clock.Set(7);
    EXPECT_EQ(timeGetTime(), 7u);
    EXPECT_EQ(clock.Now(), 7u);
    EXPECT_THROW(TManualClock second, EAssertionFailed);  // one at a time
    EXPECT_EQ(timeGetTime(), 7u);                         // the refused one did not take over
  }
  EXPECT_LT(static_cast<uint32_t>(timeGetTime() - real), 0x10000000u);
  TManualClock again(5);  // uninstalled, so another can be installed
  EXPECT_EQ(timeGetTime(), 5u);
}

TEST(Clock, DifferencesSurviveTheWrapAt32Bits) {
  TManualClock clock(0xFFFFFF00u);
  const uint32_t start = timeGetTime();
  clock.Advance(0x180);
  const uint32_t now = timeGetTime();
  EXPECT_EQ(now, 0x80u);
  EXPECT_LT(now, start);
  EXPECT_EQ(static_cast<uint32_t>(now - start), 0x180u);
  // A deadline computed before the wrap is reached after it.
  const uint32_t deadline = start + 0x100;
  EXPECT_EQ(deadline, 0u);
  EXPECT_LT(static_cast<int32_t>(deadline - now), 0);
}

TEST(FormatSeconds, PadsEachPartToTwoDigitsAndWidensLongHours) {
  EXPECT_EQ(FormatSeconds(0), "00:00:00");
  EXPECT_EQ(FormatSeconds(9), "00:00:09");
  EXPECT_EQ(FormatSeconds(10), "00:00:10");
  EXPECT_EQ(FormatSeconds(59), "00:00:59");
  EXPECT_EQ(FormatSeconds(60), "00:01:00");
  EXPECT_EQ(FormatSeconds(3599), "00:59:59");
  EXPECT_EQ(FormatSeconds(3600), "01:00:00");
  EXPECT_EQ(FormatSeconds(36000 + 600 + 1), "10:10:01");
  EXPECT_EQ(FormatSeconds(359999), "99:59:59");
  EXPECT_EQ(FormatSeconds(360000), "100:00:00");
  EXPECT_EQ(FormatSeconds(UINT32_MAX), "1193046:28:15");
}

TEST(Errors, AssertionFailureNamesTheConditionAndCountsAsAnError) {
  int evaluations = 0;
  const auto check = [&](bool value) {
    ++evaluations;
    return value;
  };
  EXPECT_NO_THROW(KYV_ASSERT(check(true)));
  EXPECT_EQ(evaluations, 1);
  try {
    KYV_ASSERT(check(false));
    FAIL() << "no failure raised";
  } catch (const EKyvError& e) {
    EXPECT_NE(dynamic_cast<const EAssertionFailed*>(&e), nullptr);
    EXPECT_NE(e.Message().find("check(false)"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("ClockTest.cpp"), std::string::npos) << e.Message();
    EXPECT_STREQ(e.what(), e.Message().c_str());
    EXPECT_FALSE(e.Code().has_value());
  }
  EXPECT_EQ(evaluations, 2);
  const EKyvError coded("Connection closed", 7);
  EXPECT_EQ(coded.Code(), 7);
  EXPECT_EQ(coded.Message(), "Connection closed");
}

}  // namespace
}  // namespace kyv
