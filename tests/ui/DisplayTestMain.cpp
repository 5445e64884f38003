// Tests on a real X display: an Xvfb server of their own, the xcb platform, real input.
#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>
#include <memory>

#include "DisplayTest.h"

namespace kyv::test {
namespace {

std::unique_ptr<TXvfbDisplay> GDisplay;

}  // namespace

const TXvfbDisplay& Display() {
  return *GDisplay;
}

}  // namespace kyv::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  using kyv::test::GDisplay;
  GDisplay = std::make_unique<kyv::test::TXvfbDisplay>(kyv::test::kDisplayWidth,
                                                       kyv::test::kDisplayHeight);
  // The control's log goes to a folder of the program's own.
  const kyv::test::TTempFolder logs("kyv_display_log");
  ::setenv("KYV_LOG_DIR", logs.Path().c_str(), 1);
  std::unique_ptr<QApplication> app;
  if (GDisplay->Started()) {
    ::setenv("DISPLAY", GDisplay->Name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    app = std::make_unique<QApplication>(argc, argv);
  }
  const int result = RUN_ALL_TESTS();
  app.reset();
  GDisplay.reset();
  return result;
}
