#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "support/NginxServer.h"
#include "support/TempFolder.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

using test::TRun;

TRun Nails(const std::vector<std::string>& args) {
  std::vector<std::string> line = {"nails"};
  line.insert(line.end(), args.begin(), args.end());
  return test::RunVerbs(line);
}

// "seconds<TAB>folder/nails/000N.jpg" for thumbnails every second from 0 to Seconds.
std::string Listing(const std::string& folder, int seconds) {
  std::string text;
  for (int s = 0; s <= seconds; ++s) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.jpg", s + 1);
    text += std::to_string(s) + "\t" + folder + "nails/" + name + "\n";
  }
  return text;
}

class NailsVerb : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FRoot = std::make_unique<test::TTempFolder>("kyv_nails_verb");
    fs::create_directories(FRoot->Path() / "rec");
    WriteSampleRecording(FRoot->Path() / "rec/sample.kyv", test::SmallSample(3, 1000));
    fs::create_directories(FRoot->Path() / "bare");
  }
  static void TearDownTestSuite() { FRoot.reset(); }
  void SetUp() override {
    ::setenv("KYV_CACHE_DIR", (FCacheParent.Path() / "kyvplayer").c_str(), 1);
  }

  static std::unique_ptr<test::TTempFolder> FRoot;
  test::TTempFolder FCacheParent{"kyv_cache"};
};

std::unique_ptr<test::TTempFolder> NailsVerb::FRoot;

TEST_F(NailsVerb, FolderOrRecordingPrintsItsThumbnails) {
  const std::string folder = (FRoot->Path() / "rec").string() + "/";
  for (const std::string& given : {folder, folder + "sample.kyv"}) {
    const TRun run = Nails({given});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Listing(folder, 3)) << given;
  }
  const TRun none = Nails({(FRoot->Path() / "bare").string()});
  EXPECT_EQ(none.Status, 0);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(Nails({}).Status, tool::kExitUsage);
}

TEST_F(NailsVerb, WebAddressIsDownloadedIntoTheCacheFolderFirst) {
  test::TNginxServer server(FRoot->Path());
  if (!server.Started()) GTEST_SKIP() << "nginx is not available: " << server.Reason();
  const std::string cache = (FCacheParent.Path() / "kyvplayer").string() + "/";
  const TRun run = Nails({server.Url("rec/sample.kyv")});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, Listing(cache, 3));
  EXPECT_EQ(run.Err, "");  // the sample keeps its images in "nails/", where they are found

  const TRun missing = Nails({server.Url("bare/sample.kyv")});
  EXPECT_EQ(missing.Status, tool::kExitBad);
  EXPECT_EQ(missing.Out, "");
  EXPECT_THAT(missing.Err, HasSubstr("bare/nails.xml: the server answered with status 404"));
}

TEST_F(NailsVerb, RefusedCacheFolderIsReported) {
  fs::create_directory_symlink(FRoot->Path(), FCacheParent.Path() / "kyvplayer");
  const TRun run = Nails({"http://127.0.0.1:9/rec/sample.kyv"});
  EXPECT_EQ(run.Status, tool::kExitBad);
  EXPECT_THAT(run.Err, HasSubstr("Fail to create directory: " +
                                 (FCacheParent.Path() / "kyvplayer").string()));
  EXPECT_FALSE(fs::exists(FRoot->Path() / "nails"));
}

}  // namespace
}  // namespace kyv
