#include <gtest/gtest.h>
#include <QApplication>
#include <memory>

namespace {

// The application object exists only while tests run, so that listing them needs no platform.
class TQtEnvironment : public ::testing::Environment {
 public:
  TQtEnvironment(int& Argc, char** Argv) : FArgc(Argc), FArgv(Argv) {}
  void SetUp() override { FApp = std::make_unique<QApplication>(FArgc, FArgv); }
  void TearDown() override { FApp.reset(); }

 private:
  int& FArgc;
  char** FArgv;
  std::unique_ptr<QApplication> FApp;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TQtEnvironment(argc, argv));  // gtest frees it
  return RUN_ALL_TESTS();
}
