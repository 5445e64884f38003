#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "nails/NailsIndex.h"

namespace kyv {
namespace {

TEST(NailsIndex, LinesEndAtCrLfLfOrCr) {
  struct TCase {
    std::string Text;
    std::vector<std::string> Lines;
  };
  const TCase cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\r", {"a", ""}},  // LF then a lone CR: two ends
      {"\xEF\xBB\xBF"
       "0=x.jpg",
       {"0=x.jpg"}},
  };
  for (const TCase& c : cases) {
    const std::vector<std::string_view> lines = SplitNailsLines(c.Text);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), c.Lines) << c.Text;
  }
}

// Invariants of the choice for every length: how many, the ends, the order, and that from 130
// lines on no line repeats.
TEST(NailsIndex, ChoiceKeepsItsShapeForEveryLength) {
  for (size_t n = 0; n <= 1500; ++n) {
    const std::vector<size_t> chosen = ChooseNailLines(n);
    ASSERT_EQ(chosen.size(), std::min<size_t>(n, 120)) << n;
    if (n == 0) continue;
    EXPECT_EQ(chosen.front(), 0u) << n;
    EXPECT_EQ(chosen.back(), n - 1) << n;
    EXPECT_TRUE(std::is_sorted(chosen.begin(), chosen.end())) << n;
    const std::set<size_t> distinct(chosen.begin(), chosen.end());
    if (n <= 120 || n >= 130) {
      EXPECT_EQ(distinct.size(), chosen.size()) << n;
    } else {
      EXPECT_LT(distinct.size(), chosen.size()) << n;
    }
  }
}

TEST(NailsIndex, PlainFileNames) {
  for (const char* name : {"0001.jpg", "a b.JPG", "a.b.c", "x.", "图.jpg"})
    EXPECT_TRUE(IsPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "../x", "/etc/x", "a/b", "a\\b", ".hidden", "a..b", "x..",
                           "a\tb", "a\x7F", "x\x01"})
    EXPECT_FALSE(IsPlainFileName(name)) << name;
}

TEST(NailsIndex, TimesAreWhole32BitNumbers) {
  EXPECT_EQ(ParseNailTime("61999"), 61999);
  EXPECT_EQ(ParseNailTime("  +5"), 5);
  EXPECT_EQ(ParseNailTime("-1500"), -1500);
  EXPECT_EQ(ParseNailTime("2147483647"), 2147483647);
  for (const char* text : {"", " ", "abc", "12a", "1 ", "2147483648", "0x10", "1.5"})
    EXPECT_FALSE(ParseNailTime(text)) << text;
}

}  // namespace
}  // namespace kyv
