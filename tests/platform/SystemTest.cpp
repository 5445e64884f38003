// What the system tells about itself: language, folders, names, debugger output.
#include "platform/System.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ScopedEnv.h"

namespace kyv {
namespace {

class SystemLanguage : public testing::Test {
 protected:
  TScopedEnv FAll{"LC_ALL", nullptr};
  TScopedEnv FMessages{"LC_MESSAGES", nullptr};
  TScopedEnv FLang{"LANG", nullptr};
};

TEST_F(SystemLanguage, ChineseOnlyForZhCnLocales) {
  EXPECT_EQ(SystemDefaultLangID(), kLangEnglishUs);
  for (const char* chinese : {"zh_CN.UTF-8", "zh_CN.GBK", "zh_CN", "zh_CN.utf8@pinyin"}) {
    TScopedEnv lang("LANG", chinese);
    EXPECT_EQ(SystemDefaultLangID(), 2052) << chinese;
  }
  for (const char* other : {"en_US.UTF-8", "en_US", "zh_TW.UTF-8", "zh_HK", "C", "POSIX"}) {
    TScopedEnv lang("LANG", other);
    EXPECT_EQ(SystemDefaultLangID(), 1033) << other;
  }
}

TEST_F(SystemLanguage, LcAllThenLcMessagesThenLang) {
  TScopedEnv lang("LANG", "zh_CN.UTF-8");
  {
    TScopedEnv all("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(SystemDefaultLangID(), 1033);
  }
  {
    TScopedEnv messages("LC_MESSAGES", "en_US.UTF-8");
    EXPECT_EQ(SystemDefaultLangID(), 1033);
    TScopedEnv all("LC_ALL", "zh_CN.GBK");
    EXPECT_EQ(SystemDefaultLangID(), 2052);
  }
  {
    TScopedEnv empty("LC_ALL", "");  // an empty variable counts as unset
    EXPECT_EQ(SystemDefaultLangID(), 2052);
  }
  TScopedEnv english("LANG", "en_US.UTF-8");
  TScopedEnv all("LC_ALL", "zh_CN.UTF-8");
  EXPECT_EQ(SystemDefaultLangID(), 2052);
}

TEST(System, TempFolderFollowsTmpdirAndEndsWithASlash) {
  {
    TScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
  }
  {
    TScopedEnv tmp("TMPDIR", "/var/tmp/");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
  }
  {
    TScopedEnv tmp("TMPDIR", "");
    EXPECT_EQ(TempFolder(), "/tmp/");
  }
  TScopedEnv tmp("TMPDIR", nullptr);
  EXPECT_EQ(TempFolder(), "/tmp/");
}

TEST(System, HostProgramIsThisTestExecutable) {
  const std::string path = HostProgramPath();
  EXPECT_TRUE(path.starts_with("/")) << path;
  EXPECT_TRUE(path.ends_with("/test_platform")) << path;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
}

TEST(System, ComputerNameIsAPlainName) {
  const std::string name = ComputerName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

TEST(System, DebugOutputIsOnePrefixedLineOnStderr) {
  testing::internal::CaptureStderr();
  OutputDebugString("queue full");
  OutputDebugString(std::string_view("cut here", 3));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[kyvplayer] queue full\n[kyvplayer] cut\n");
}

}  // namespace
}  // namespace kyv
