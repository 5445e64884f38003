// Conversions between UTF-8, the locale's code set and UTF-16.
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>

#include <filesystem>
#include <optional>
#include <string>

#include "ScopedEnv.h"
#include "platform/Errors.h"

// glibc's newlocale leaks its copy of LOCPATH, which only the locale tests below set; the leak
// detector of sanitizer builds is told to let that one pass.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}

namespace kyv {
namespace {

namespace fs = std::filesystem;

const std::string kText = "尚未调用 InitDecoder";
const std::u16string kWide = u"尚未调用 InitDecoder";
const std::string kGbk = "\xC9\xD0\xCE\xB4\xB5\xF7\xD3\xC3 InitDecoder";

TEST(TextCodec, ChineseTextRoundTripsBetweenUtf8AndUtf16) {
  EXPECT_EQ(ToUtf16(kText, "UTF-8"), kWide);
  EXPECT_EQ(FromUtf16(kWide, "UTF-8"), kText);
  // Outside the basic plane: a surrogate pair each way.
  EXPECT_EQ(ToUtf16("a\xF0\x9F\x98\x80z", "UTF-8"), u"a\U0001F600z");
  EXPECT_EQ(FromUtf16(u"a\U0001F600z", "UTF-8"), "a\xF0\x9F\x98\x80z");
  EXPECT_EQ(ToUtf16("", "UTF-8"), u"");
  EXPECT_EQ(FromUtf16(u"", "GBK"), "");
  EXPECT_EQ(FromUtf8("", "GBK"), "");
}

TEST(TextCodec, GbkConvertsBothWays) {
  EXPECT_EQ(FromUtf8(kText, "GBK"), kGbk);
  EXPECT_EQ(FromUtf16(kWide, "GBK"), kGbk);
  EXPECT_EQ(ToUtf16(kGbk, "GBK"), kWide);
  EXPECT_EQ(FromUtf8(kText, "UTF-8"), kText);
  // A long text takes more than one conversion step.
  std::string longText;
  std::u16string longWide;
  for (int i = 0; i < 5000; ++i) longText += kGbk, longWide += kWide;
  EXPECT_EQ(ToUtf16(longText, "GBK"), longWide);
  EXPECT_EQ(FromUtf16(longWide, "GBK"), longText);
}

TEST(TextCodec, EachCharacterTheTargetLacksBecomesOneQuestionMark) {
  EXPECT_EQ(FromUtf16(u"a€b", "ISO-8859-1"), "a?b");
  EXPECT_EQ(FromUtf8("价格 €5", "ISO-8859-1"), "?? ?5");
  EXPECT_EQ(FromUtf8("a\xF0\x9F\x98\x80z", "GBK"), "a?z");
  EXPECT_EQ(FromUtf16(u"a\U0001F600z", "GBK"), "a?z");
  EXPECT_EQ(FromUtf16(u"用\U0001F600", "GBK"), "\xD3\xC3?");
}

TEST(TextCodec, StrayBytesBecomeQuestionMarks) {
  EXPECT_EQ(ToUtf16("a\xFF\xFE"
                    "b",
                    "UTF-8"),
            u"a??b");
  EXPECT_EQ(ToUtf16("a\xE5\xB0", "UTF-8"), u"a?");  // ends inside a character
  EXPECT_EQ(ToUtf16("\xE5\xB0"
                    "b",
                    "UTF-8"),
            u"??b");
  EXPECT_EQ(FromUtf16(std::u16string(u"a") + char16_t(0xD800) + u"b", "UTF-8"), "a?b");
  EXPECT_EQ(FromUtf16(std::u16string(u"a") + char16_t(0xDC00), "GBK"), "a?");
  EXPECT_EQ(ToUtf16("a\x81", "GBK"), u"a?");
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b",
                     "GBK"),
            "a?b");
}

TEST(TextCodec, AnUnknownCodeSetIsAnError) {
  EXPECT_THROW(ToUtf16("abc", "NO-SUCH-CODESET"), EKyvError);
  EXPECT_THROW(FromUtf16(u"abc", "NO-SUCH-CODESET"), EKyvError);
  EXPECT_THROW(FromUtf8("abc", "NO-SUCH-CODESET"), EKyvError);
}

// Builds a zh_CN.GBK locale in a private folder that LOCPATH points at, so the tests do not
// depend on the locales this machine happens to have generated.
class LocaleCodeSetTest : public testing::Test {
 protected:
  void SetUp() override {
    FFolder = fs::temp_directory_path() / ("kyv-locales-" + std::to_string(getpid()));
    fs::create_directories(FFolder);
    const std::string command =
        "localedef -i zh_CN -f GBK '" + (FFolder / "zh_CN.GBK").string() + "' >/dev/null 2>&1";
    FHaveGbk = std::system(command.c_str()) == 0;
    FLocPath.emplace("LOCPATH", FFolder.c_str());
  }
  void TearDown() override {
    FLocPath.reset();
    std::error_code ignored;
    fs::remove_all(FFolder, ignored);
  }

  fs::path FFolder;
  bool FHaveGbk = false;
  std::optional<TScopedEnv> FLocPath;
};

TEST_F(LocaleCodeSetTest, FollowsLcAllThenLcCtypeThenLang) {
  TScopedEnv all("LC_ALL", nullptr), ctype("LC_CTYPE", nullptr), lang("LANG", nullptr);
  EXPECT_EQ(LocaleCodeSet(), "UTF-8");
  {
    TScopedEnv c("LC_ALL", "C");  // plain ASCII is held by UTF-8
    EXPECT_EQ(LocaleCodeSet(), "UTF-8");
  }
  {
    TScopedEnv unknown("LC_ALL", "xx_NOWHERE.ISO-8859-99");
    EXPECT_EQ(LocaleCodeSet(), "UTF-8");
  }
  if (!FHaveGbk) GTEST_SKIP() << "localedef cannot build zh_CN.GBK here (package locales)";
  {
    TScopedEnv gbk("LC_ALL", "zh_CN.GBK");
    TScopedEnv utf8("LANG", "C.UTF-8");
    EXPECT_EQ(LocaleCodeSet(), "GBK");
    EXPECT_EQ(FromUtf8(kText), kGbk);  // the default code set is the locale's
    EXPECT_EQ(ToUtf16(kGbk), kWide);
    EXPECT_EQ(FromUtf16(kWide), kGbk);
  }
  {
    TScopedEnv utf8("LC_ALL", "C.UTF-8");
    TScopedEnv gbk("LC_CTYPE", "zh_CN.GBK");
    EXPECT_EQ(LocaleCodeSet(), "UTF-8");
  }
  {
    TScopedEnv empty("LC_ALL", "");  // an empty variable counts as unset
    TScopedEnv gbk("LC_CTYPE", "zh_CN.GBK");
    TScopedEnv utf8("LANG", "C.UTF-8");
    EXPECT_EQ(LocaleCodeSet(), "GBK");
  }
  {
    TScopedEnv gbk("LANG", "zh_CN.GBK");
    EXPECT_EQ(LocaleCodeSet(), "GBK");
    EXPECT_EQ(FromUtf8(kText), kGbk);
  }
}

}  // namespace
}  // namespace kyv
