// Clock, text conversion, system information and byte order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/FormatSeconds.h"
#include "platform/LittleEndian.h"
#include "platform/System.h"
#include "platform/TextCodec.h"

namespace kyv {
namespace {

// Sets an environment variable for one scope and restores it afterwards.
class TEnv {
 public:
  TEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old, FHad = true;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~TEnv() {
    if (FHad) setenv(FName.c_str(), FOld.c_str(), 1);
    else unsetenv(FName.c_str());
  }
  TEnv(const TEnv&) = delete;
  TEnv& operator=(const TEnv&) = delete;

 private:
  std::string FName, FOld;
  bool FHad = false;
};

TEST(Clock, ManualClockDrivesTimeGetTimeWhileInstalled) {
  {
    TManualClock clock(0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    clock.Advance(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);  // wraps like the original
    EXPECT_EQ(static_cast<uint32_t>(timeGetTime() - 0xFFFFFFF0u), 0x20u);
    EXPECT_THROW(TManualClock second, EAssertionFailed);
  }
  const uint32_t a = timeGetTime();
  const uint32_t b = timeGetTime();
  EXPECT_LE(static_cast<uint32_t>(b - a), 1000u);
}

TEST(FormatSeconds, PadsEachPartAndWidensHours) {
  EXPECT_EQ(FormatSeconds(0), "00:00:00");
  EXPECT_EQ(FormatSeconds(9), "00:00:09");
  EXPECT_EQ(FormatSeconds(10), "00:00:10");
  EXPECT_EQ(FormatSeconds(3599), "00:59:59");
  EXPECT_EQ(FormatSeconds(3600), "01:00:00");
  EXPECT_EQ(FormatSeconds(359999), "99:59:59");
  EXPECT_EQ(FormatSeconds(360000), "100:00:00");
}

TEST(TextCodec, ChineseTextRoundTripsThroughUtf16AndGbk) {
  const std::string text = "尚未调用 InitDecoder";
  const std::u16string wide = ToUtf16(text, "UTF-8");
  EXPECT_EQ(wide.size(), 16u);
  EXPECT_EQ(wide[0], u'尚');
  EXPECT_EQ(FromUtf16(wide, "UTF-8"), text);
  const std::string gbk = FromUtf8(text, "GBK");
  EXPECT_EQ(gbk.size(), 8u + 12u);  // two bytes per Chinese character
  EXPECT_EQ(FromUtf16(ToUtf16(gbk, "GBK"), "UTF-8"), text);
}

TEST(TextCodec, UnconvertibleCharactersBecomeQuestionMarks) {
  EXPECT_EQ(FromUtf16(u"a€b", "ISO-8859-1"), "a?b");
  EXPECT_EQ(ToUtf16("a\xFF" "b", "UTF-8"), u"a?b");
}

TEST(TextCodec, LocaleCodeSetFollowsTheEnvironment) {
  TEnv all("LC_ALL", "C");
  EXPECT_EQ(LocaleCodeSet(), "UTF-8");
  TEnv none("LC_ALL", nullptr);
  TEnv ctype("LC_CTYPE", nullptr);
  TEnv lang("LANG", nullptr);
  EXPECT_EQ(LocaleCodeSet(), "UTF-8");
}

TEST(System, LanguageFromTheLocale) {
  TEnv all("LC_ALL", nullptr);
  TEnv messages("LC_MESSAGES", nullptr);
  {
    TEnv lang("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(SystemDefaultLangID(), 2052);
  }
  {
    TEnv lang("LANG", "en_US.UTF-8");
    EXPECT_EQ(SystemDefaultLangID(), 1033);
    TEnv overriding("LC_ALL", "zh_CN.GBK");
    EXPECT_EQ(SystemDefaultLangID(), 2052);
  }
  TEnv lang("LANG", nullptr);
  EXPECT_EQ(SystemDefaultLangID(), 1033);
}

TEST(System, FoldersAndNames) {
  {
    TEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
  }
  {
    TEnv tmp("TMPDIR", nullptr);
    EXPECT_EQ(TempFolder(), "/tmp/");
  }
  EXPECT_TRUE(HostProgramPath().ends_with("/test_platform"));
  EXPECT_FALSE(ComputerName().empty());
}

TEST(LittleEndian, EveryWidthSignedAndUnaligned) {
  uint8_t bytes[16] = {};
  StoreLE<int16_t>(bytes + 1, -2);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(bytes[2], 0xFF);
  EXPECT_EQ(LoadLE<int16_t>(bytes + 1), -2);
  StoreLE<uint32_t>(bytes + 3, 0x11223344u);
  EXPECT_EQ(bytes[3], 0x44);
  EXPECT_EQ(LoadLE<uint32_t>(bytes + 3), 0x11223344u);
  StoreLE<int64_t>(bytes + 7, INT64_MIN + 5);
  EXPECT_EQ(LoadLE<int64_t>(bytes + 7), INT64_MIN + 5);
  EXPECT_EQ(bytes[14], 0x80);
  StoreLE<uint8_t>(bytes, 0xAB);
  EXPECT_EQ(LoadLE<uint8_t>(bytes), 0xAB);
}

}  // namespace
}  // namespace kyv
