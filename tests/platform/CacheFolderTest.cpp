#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ScopedEnv.h"
#include "platform/CacheFolder.h"
#include "platform/Errors.h"
#include "support/TempFolder.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// The text CacheFolder raises, or "" when it returns a folder.
std::string Refusal() {
  try {
    CacheFolder();
  } catch (const EKyvError& e) {
    return e.Message();
  }
  return {};
}

TEST(CacheFolder, MadePrivateWithNailsAndEveryMissingParent) {
  test::TTempFolder temp("kyv_cache");
  const fs::path folder = temp / "a/b/kyvplayer";
  TScopedEnv env("KYV_CACHE_DIR", (folder.string() + "//").c_str());
  EXPECT_EQ(CacheFolder(), folder.string() + "/");
  for (const fs::path& made : {temp / "a", temp / "a/b", folder, folder / "nails"}) {
    EXPECT_TRUE(fs::is_directory(made)) << made;
    EXPECT_EQ(ModeOf(made), 0700u) << made;
  }
  // A second call finds it as it left it; one that others could enter is made private again.
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_EQ(CacheFolder(), folder.string() + "/");
  EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST(CacheFolder, FollowsTheBaseDirectoryRules) {
  TScopedEnv noOverride("KYV_CACHE_DIR", nullptr);
  {
    TScopedEnv xdg("XDG_CACHE_HOME", "/xdg/cache");
    EXPECT_EQ(CacheFolderPath(), "/xdg/cache/kyvplayer/");
  }
  TScopedEnv relative("XDG_CACHE_HOME", "relative/cache");  // not absolute: ignored
  TScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(CacheFolderPath(), "/home/someone/.cache/kyvplayer/");
}

TEST(CacheFolder, RefusesWhatIsNotAFolderOfOurs) {
  test::TTempFolder temp("kyv_cache");
  const fs::path folder = temp / "kyvplayer";
  const fs::path elsewhere = temp / "victim";
  fs::create_directory(elsewhere);
  TScopedEnv env("KYV_CACHE_DIR", folder.c_str());
  const std::string refusal = "Fail to create directory: " + folder.string();

  fs::create_directory_symlink(elsewhere, folder);
  EXPECT_EQ(Refusal(), refusal);
  EXPECT_FALSE(fs::exists(elsewhere / "nails"));  // nothing made through the link
  fs::remove(folder);

  std::ofstream(folder) << "a file";
  EXPECT_EQ(Refusal(), refusal);
  fs::remove(folder);

  fs::create_directory(folder);
  fs::create_directory_symlink(elsewhere, folder / "nails");
  EXPECT_EQ(Refusal(), refusal);
  fs::remove(folder / "nails");

  if (::geteuid() == 0) {  // only root can give a folder away
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(Refusal(), refusal);
    ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
  }
  EXPECT_EQ(Refusal(), "");
}

}  // namespace
}  // namespace kyv
