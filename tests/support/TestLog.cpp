#include "support/TestLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>

#include "log/Log.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace kyv::test {
namespace {

std::string TodaysLog() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ReadTextFile(GlobalLog().FileName(local));
}

// Sends the global log into a folder of this program before the first record.
class TLogEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    FFolder = std::make_unique<TTempFolder>("kyv_http_log");
    ::setenv("KYV_LOG_DIR", FFolder->Path().c_str(), 1);
    GlobalLog();
  }

 private:
  std::unique_ptr<TTempFolder> FFolder;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TLogEnvironment);

}  // namespace

TLogWatch::TLogWatch() : FStart(TodaysLog().size()) {}

std::string TLogWatch::Added() const {
  const std::string text = TodaysLog();
  return text.size() > FStart ? text.substr(FStart) : std::string();
}

int TLogWatch::Count(const std::string& Text) const {
  const std::string text = Added();
  int count = 0;
  for (size_t at = text.find(Text); at != std::string::npos; at = text.find(Text, at + 1)) ++count;
  return count;
}

}  // namespace kyv::test
