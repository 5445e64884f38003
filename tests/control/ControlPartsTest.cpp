// The control's small parts: its timers on the manual clock and the colour text of bgColor.
#include <gtest/gtest.h>

#include <string>

#include "control/ColorText.h"
#include "control/ControlTimer.h"
#include "platform/Clock.h"
#include "platform/Errors.h"

namespace kyv {
namespace {

TEST(ControlTimer, FiresOncePerIntervalFromStartAndAcrossTheClocksWrap) {
  // Starts just before the 32-bit clock wraps, so every interval below crosses it.
  TManualClock clock(0xFFFFFF00u);
  TControlTimer timer(3000);
  EXPECT_FALSE(timer.Remaining(clock.Now()).has_value());
  EXPECT_FALSE(timer.Expire(clock.Now() + 5000));  // stopped timers never fire

  timer.Start();
  EXPECT_EQ(timer.Remaining(clock.Now()), 3000u);
  clock.Advance(2999);
  EXPECT_FALSE(timer.Expire(clock.Now()));
  EXPECT_EQ(timer.Remaining(clock.Now()), 1u);
  clock.Advance(1);
  EXPECT_TRUE(timer.Expire(clock.Now()));
  EXPECT_FALSE(timer.Expire(clock.Now()));  // the next interval begins at the firing

  // A late tick fires once and counts the next interval from then, as a window timer does.
  clock.Advance(7000);
  EXPECT_EQ(timer.Remaining(clock.Now()), 0u);
  EXPECT_TRUE(timer.Expire(clock.Now()));
  EXPECT_EQ(timer.Remaining(clock.Now()), 3000u);

  clock.Advance(1000);
  timer.Start();  // starting again begins a whole interval
  EXPECT_EQ(timer.Remaining(clock.Now()), 3000u);
  timer.Stop();
  clock.Advance(3000);
  EXPECT_FALSE(timer.Expire(clock.Now()));
}

TEST(ColorText, ReadsAndWritesTheViewsBackground) {
  struct TCase {
    const char* Text;
    uint32_t Color;  // 0x00BBGGRR
    const char* ReadBack;
  };
  for (const TCase& c :
       {TCase{"#FF8000", 0x0080FF, "#FF8000"}, TCase{"#ff8000", 0x0080FF, "#FF8000"},
        TCase{"X000000", 0, "#000000"}, TCase{"#0A0B0C", 0x0C0B0A, "#0A0B0C"},
        TCase{"#FFFFFF", 0xFFFFFF, "#FFFFFF"}}) {
    EXPECT_EQ(ParseColorText(c.Text), c.Color) << c.Text;
    EXPECT_EQ(ColorText(c.Color), c.ReadBack) << c.Text;
  }
  EXPECT_EQ(ColorText(0xFF123456), "#563412");  // bits above the colour are not a channel

  for (const char* bad : {"FF8000", "", "#FF80000", "#FF800"}) {
    try {
      ParseColorText(bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const EKyvError& e) {
      EXPECT_EQ(e.Message(), "Unknown color format") << bad;
    }
  }
  for (const char* bad : {"#GG8000", "#FF 000", "#FF80-1"}) {
    try {
      ParseColorText(bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const EKyvError& e) {
      EXPECT_NE(e.Message().find("is not a valid hexadecimal value"), std::string::npos) << bad;
    }
  }
}

}  // namespace
}  // namespace kyv
