// Full screen as a person uses it: the control in a window of an X display of the test's own,
// playing a live station, with keys and pointer actions from xdotool.
#include <gtest/gtest.h>
#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdlib>

#include "ChildProcess.h"
#include "RequestTexts.h"
#include "TempFolder.h"
#include "XvfbDisplay.h"
#include "com/ComPtr.h"
#include "control/KyvPlayerObject.h"
#include "ui/FullScreenForm.h"
#include "ui/QtControlForm.h"
#include "writer/SampleRecording.h"

namespace kyv::test {
namespace {

constexpr int kDisplayWidth = 1280, kDisplayHeight = 1024;
std::unique_ptr<TXvfbDisplay> GDisplay;  // made by main before the application

// Handles Qt's events until Condition holds (true) or ten seconds pass (false).
bool PumpUntil(const std::function<bool()>& Condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Runs xdotool on the display; its exit status.
int XdoTool(const std::vector<std::string>& Args) {
  TTempFolder folder("kyv_xdotool");
  std::vector<std::string> args{"xdotool"};
  args.insert(args.end(), Args.begin(), Args.end());
  TChildProcess tool(args, folder / "out.txt");
  const int status = tool.Started() ? tool.SignalAndWait(0, std::chrono::seconds(10)) : -1;
  if (status != 0) std::cerr << "xdotool: " << ReadTextFile(folder / "out.txt");
  return status;
}

// A kyvstation process on loopback broadcasting a 640 x 480 sample; it prints every request.
struct TStation {
  TStation() {
    TSampleOptions options;
    options.Width = 640;
    options.Height = 480;
    options.Seconds = 4;
    WriteSampleRecording(Folder / "sample.kyv", options);
    Process = std::make_unique<TChildProcess>(
        std::vector<std::string>{KYVSTATION_PATH, (Folder / "sample.kyv").string(), "--bind",
                                 "127.0.0.1", "--port", "0"},
        Folder / "out.txt");
    Port = WaitForReportedPort(*Process, Folder / "out.txt", kStationServingPattern,
                               std::chrono::seconds(10));
  }
  std::string Address() const { return "kyvs://127.0.0.1:" + std::to_string(Port) + "/demo"; }
  std::string Output() const { return ReadTextFile(Folder / "out.txt"); }

  TTempFolder Folder{"kyv_fullscreen_station"};
  std::unique_ptr<TChildProcess> Process;
  uint16_t Port = 0;
};

TfrmFullScreen* FullScreenWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* form = dynamic_cast<TfrmFullScreen*>(w)) return form;
  return nullptr;
}

// The control in a window of the display, in full screen over the station.
class FullScreenDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!GDisplay->Started()) GTEST_SKIP() << GDisplay->Reason();
    ASSERT_NE(Station.Port, 0) << Station.Output();
    Object = com::MakeCom<TKyvPlayerObject>((FCache / "cache").string(), &TQtControlForm::Make);
    QWidget* widget = static_cast<QWidget*>(Object->Form().Widget());
    widget->setGeometry(100, 100, 495, 410);
    widget->show();
    // The pointer waits on what becomes the full-screen window's black margin.
    ASSERT_EQ(XdoTool({"mousemove", "0", "0"}), 0);
    Control().Open(Station.Address());
    ASSERT_TRUE(PumpUntil([&] { return Control().Status() == vpPlaying; })) << Station.Output();
    Control().SetFullScreen(true);
    ASSERT_TRUE(
        PumpUntil([] { return FullScreenWindow() && FullScreenWindow()->isActiveWindow(); }));
  }

  TPlayerControl& Control() { return Object->Control(); }
  bool FullScreenEnded() {
    return PumpUntil([&] { return Control().DisplayMode() == dmAdaptive && !FullScreenWindow(); });
  }

  TTempFolder FCache{"kyv_fullscreen_cache"};
  TStation Station;
  com::TComPtr<TKyvPlayerObject> Object;
};

TEST_F(FullScreenDisplay, KeysAndPointerReachTheStationThenEscapeLeaves) {
  TfrmFullScreen& form = *FullScreenWindow();
  EXPECT_EQ(form.geometry(), QRect(0, 0, kDisplayWidth, kDisplayHeight));
  EXPECT_EQ(form.Picture().geometry(), QRect(320, 272, 640, 480));
  // The picture shows the station's screen before the viewer acts on it.
  const TDib& bitmap = form.Picture().Bitmap();
  ASSERT_TRUE(PumpUntil([&] { return bitmap.Colour(320, 240) != 0; }));
  if (const char* dir = std::getenv("KYV_SCREENSHOT_DIR"))
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString(dir) + "/fullscreen.png");

  const QPoint at = form.Picture().mapToGlobal(QPoint(10, 20));
  ASSERT_EQ(XdoTool({"key", "a"}), 0);
  ASSERT_EQ(XdoTool({"mousemove", std::to_string(at.x()), std::to_string(at.y())}), 0);
  ASSERT_EQ(XdoTool({"click", "1"}), 0);
  ASSERT_EQ(XdoTool({"key", "Escape"}), 0);
  // The station prints each request followed by an empty line.
  std::string expected;
  for (const std::string& text :
       {KeyText(65, false), KeyText(65, true), MouseText(32769, 10, 20), MouseText(2, 10, 20),
        MouseText(4, 10, 20), KeyText(27, false), KeyText(27, true)})
    expected += text + "\n\n";
  EXPECT_TRUE(PumpUntil([&] { return Station.Output().find(expected) != std::string::npos; }))
      << Station.Output();
  EXPECT_TRUE(FullScreenEnded());
}

TEST_F(FullScreenDisplay, AnotherWindowTakingTheFocusEndsFullScreen) {
  // Closing frees the window but keeps the mode: the next source shows in full screen again.
  Control().Close();
  EXPECT_EQ(FullScreenWindow(), nullptr);
  EXPECT_EQ(Control().DisplayMode(), dmFull);
  Control().Open(Station.Address());
  ASSERT_TRUE(PumpUntil([] { return FullScreenWindow() && FullScreenWindow()->isActiveWindow(); }));

  QWidget other;
  other.setGeometry(10, 10, 200, 100);
  other.show();
  ASSERT_TRUE(PumpUntil([&] { return other.windowHandle()->isExposed(); }));
  // Alt held as the focus goes (Alt+Tab): the station gets its release all the same.
  ASSERT_EQ(XdoTool({"keydown", "alt"}), 0);
  ASSERT_EQ(XdoTool({"windowfocus", "--sync", std::to_string(other.winId())}), 0);
  EXPECT_TRUE(FullScreenEnded());
  ASSERT_EQ(XdoTool({"keyup", "alt"}), 0);
  const std::string alt = KeyText(18, false) + "\n\n" + KeyText(18, true) + "\n\n";
  EXPECT_TRUE(PumpUntil([&] { return Station.Output().find(alt) != std::string::npos; }))
      << Station.Output();
  // The control plays on in its own window.
  EXPECT_EQ(Control().Status(), vpPlaying);
}

// The host leaving full screen while a key is down: the station is told the key came up.
TEST_F(FullScreenDisplay, AHostLeavingFullScreenReleasesTheKeysHeldAtTheStation) {
  ASSERT_EQ(XdoTool({"keydown", "shift"}), 0);
  ASSERT_TRUE(PumpUntil([&] {
    return Station.Output().find(KeyText(16, false)) != std::string::npos;
  })) << Station.Output();
  Control().SetDisplayMode(dmAdaptive);
  EXPECT_EQ(FullScreenWindow(), nullptr);
  ASSERT_EQ(XdoTool({"keyup", "shift"}), 0);
  const std::string shift = KeyText(16, false) + "\n\n" + KeyText(16, true) + "\n\n";
  EXPECT_TRUE(PumpUntil([&] { return Station.Output().find(shift) != std::string::npos; }))
      << Station.Output();
}

}  // namespace
}  // namespace kyv::test

// Qt's link to the session bus on a real display keeps a block of libdbus that it never frees.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // no display needed
  using namespace kyv::test;
  GDisplay = std::make_unique<TXvfbDisplay>(kDisplayWidth, kDisplayHeight);
  const TTempFolder logs("kyv_display_log");
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
