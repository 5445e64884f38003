// What every test program of the live sources needs before its tests run: a decoder for the
// picture sizes, and a log folder of its own that goes when the program ends.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "decoder/DecoderCalls.h"

namespace {

class TLiveEnvironment : public ::testing::Environment {
 public:
  TLiveEnvironment()
      : FLogDir(std::filesystem::temp_directory_path() /
                ("kyv_live_log_" + std::to_string(::getpid()))) {
    ::setenv("KYV_LOG_DIR", FLogDir.c_str(), 1);
  }
  void SetUp() override { FDecoder = std::make_unique<kyv::TDecoderUsage>(); }
  void TearDown() override {
    FDecoder.reset();
    std::error_code ignored;
    std::filesystem::remove_all(FLogDir, ignored);
  }

 private:
  std::filesystem::path FLogDir;
  std::unique_ptr<kyv::TDecoderUsage> FDecoder;
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new TLiveEnvironment);

}  // namespace
