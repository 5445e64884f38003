// The statistics window's figures as texts, at the edges where they change shape.
#include "control/StatusTexts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kyv {
namespace {

TEST(StatusTexts, TimesGrowPastTwoDigitsOfHours) {
  const struct {
    uint32_t Ms;
    const char* Text;
  } cases[] = {{0, "00:00:00"},           {999, "00:00:00"},       {1000, "00:00:01"},
               {3723000, "01:02:03"},     {359999999, "99:59:59"}, {360000000, "100:00:00"},
               {4294967295, "1193:02:47"}};
  for (const auto& c : cases) EXPECT_EQ(StatusTimeText(c.Ms), c.Text) << c.Ms;
}

// The source's bytes not yet formed into records count too, and the sum wraps at 4 GiB.
TEST(StatusTexts, BytesAreWholeKiBOfAnUnsigned32BitSum) {
  const struct {
    int64_t Store;
    size_t Fill;
    const char* Text;
  } cases[] = {{0, 0, "0K"},
               {1048575, 0, "1023K"},
               {1048576, 0, "1024K"},
               {1048000, 575, "1023K"},
               {1048000, 576, "1024K"},
               {0xFFFFFC00, 0, "4194303K"},
               {0xFFFFFC00, 0x400, "0K"},
               {0x100000400, 0, "1K"}};
  for (const auto& c : cases)
    EXPECT_EQ(StatusBytesText(c.Store, c.Fill), c.Text) << c.Store << " + " << c.Fill;
}

TEST(StatusTexts, RatesBelow1024AreKbpsAboveMbpsOf1024) {
  const struct {
    uint64_t Kbps;
    const char* Text;
  } cases[] = {{0, "0 Kbps"},         {999, "999 Kbps"},        {1000, "1000 Kbps"},
               {1023, "1023 Kbps"},   {1024, "1.00 Mbps"},      {1536, "1.50 Mbps"},
               {10239, "10.00 Mbps"}, {1048576, "1024.00 Mbps"}};
  for (const auto& c : cases) EXPECT_EQ(StatusRateText(c.Kbps), c.Text) << c.Kbps;
}

}  // namespace
}  // namespace kyv
