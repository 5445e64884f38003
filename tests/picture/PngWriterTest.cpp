#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PictureTestSupport.h"
#include "picture/PngWriter.h"
#include "platform/Errors.h"
#include "support/PngRead.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;

using test::ReadPng;

class PngWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FDir = fs::temp_directory_path() /
           ("kyv-png-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  fs::path FDir;
};

TEST_F(PngWriterTest, PictureReadBackIsThePicture) {
  for (auto [w, h] : {std::pair{37, 21}, {1, 1}, {4, 3}}) {
    const TDib picture = test::ToDib(test::MakeScene(w, h, 1000, static_cast<uint32_t>(w)));
    const std::string path = (FDir / "shot.png").string();
    SavePng(picture, path);
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    ASSERT_TRUE(ReadPng(path, width, height, bgr));
    ASSERT_EQ(width, w);
    ASSERT_EQ(height, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = &bgr[(static_cast<size_t>(y) * w + x) * 3];
        ASSERT_EQ(p[2] | (p[1] << 8) | (p[0] << 16), static_cast<int>(picture.Colour(x, y)))
            << x << "," << y;
      }
  }
}

TEST_F(PngWriterTest, UnwritablePathOrEmptyPictureFails) {
  const TDib picture(4, 4);
  EXPECT_THROW(SavePng(picture, (FDir / "missing" / "shot.png").string()), EKyvError);
  EXPECT_THROW(SavePng(TDib(), (FDir / "empty.png").string()), EKyvError);
  EXPECT_FALSE(fs::exists(FDir / "empty.png"));
}

}  // namespace
}  // namespace kyv
