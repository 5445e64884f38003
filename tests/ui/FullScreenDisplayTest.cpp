#include <gtest/gtest.h>
#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "ChildProcess.h"
#include "DisplayTest.h"
#include "SmallSample.h"
#include "TempFolder.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "source/live/KyvStream.h"
#include "support/WindowMessages.h"
#include "ui/FullScreenForm.h"
#include "writer/SampleRecording.h"

namespace kyv::test {

bool PumpUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  while (!Condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

int XdoTool(const std::vector<std::string>& Args) {
  TTempFolder folder("kyv_xdotool");
  std::vector<std::string> args{"xdotool"};
  args.insert(args.end(), Args.begin(), Args.end());
  TChildProcess tool(args, folder / "out.txt");
  if (!tool.Started()) return -1;
  const int status = tool.SignalAndWait(0, std::chrono::seconds(10));
  if (status != 0) std::cerr << "xdotool: " << ReadTextFile(folder / "out.txt");
  return status;
}

namespace {

class TStation {
 public:
  TStation() {
    WriteSampleRecording(FFolder / "sample.kyv", SmallSample(4));
    FProcess = std::make_unique<TChildProcess>(
        std::vector<std::string>{KYVSTATION_PATH, (FFolder / "sample.kyv").string(), "--bind",
                                 "127.0.0.1", "--port", "0"},
        FFolder / "out.txt");
    if (FProcess->Started())
      FPort = WaitForReportedPort(*FProcess, FFolder / "out.txt", kStationServingPattern,
                                  std::chrono::seconds(10));
  }
  uint16_t Port() const { return FPort; }
  std::string Address() const { return "kyvs://127.0.0.1:" + std::to_string(FPort) + "/demo"; }
  std::string Output() const { return ReadTextFile(FFolder / "out.txt"); }

 private:
  TTempFolder FFolder{"kyv_fullscreen_station"};
  std::unique_ptr<TChildProcess> FProcess;
  uint16_t FPort = 0;
};

TEST(FullScreenDisplay, Interim) {
  if (!Display().Started()) GTEST_SKIP() << Display().Reason();
  TDecoderUsage decoder;
  TStation station;
  ASSERT_NE(station.Port(), 0) << station.Output();
  TWindow wnd;
  TPlayContext context;
  context.Wnd = wnd.Handle();
  TThreadPtr<TKyvStream> stream = TThread::Create<TKyvStream>(context);
  stream->Open(station.Address());
  ASSERT_TRUE(WaitWindowMessage(wnd, UM_OPENED).has_value());
  ASSERT_EQ(XdoTool({"mousemove", "0", "0"}), 0);
  TfrmFullScreen form;
  form.SetReader([&](const std::string& Text) { stream->PostText(Text); });
  form.Prepare(context, wnd.Handle());
  form.Present();
  ASSERT_TRUE(PumpUntil([&] { return form.isActiveWindow(); }));
  std::cerr << "geometry " << form.geometry().x() << "," << form.geometry().y() << " "
            << form.geometry().width() << "x" << form.geometry().height() << "\n";
  const QPoint at = form.Picture().mapToGlobal(QPoint(10, 20));
  ASSERT_EQ(XdoTool({"key", "a"}), 0);
  ASSERT_EQ(XdoTool({"mousemove", std::to_string(at.x()), std::to_string(at.y())}), 0);
  ASSERT_EQ(XdoTool({"click", "1"}), 0);
  ASSERT_EQ(XdoTool({"key", "Escape"}), 0);
  PumpUntil(
      [&] { return station.Output().find("bVk=27\r\nbScan=0\r\ndwFlags=2") != std::string::npos; });
  std::optional<TMessage> leave =
      WaitWindowMessage(wnd, UM_LEAVE_FULLSCREEN, std::chrono::milliseconds(100));
  EXPECT_TRUE(leave.has_value());
  QGuiApplication::primaryScreen()->grabWindow(0).save("/tmp/kyv_fullscreen_interim.png");
  std::cerr << station.Output();
}

TEST(FullScreenDisplay, InterimFocus) {
  if (!Display().Started()) GTEST_SKIP() << Display().Reason();
  TWindow wnd;
  TfrmFullScreen form;
  form.Prepare(640, 480, wnd.Handle());
  form.Present();
  ASSERT_TRUE(PumpUntil([&] { return form.isActiveWindow(); }));
  QWidget other;
  other.setGeometry(10, 10, 200, 100);
  other.show();
  ASSERT_TRUE(PumpUntil([&] { return other.isVisible() && other.windowHandle()->isExposed(); }));
  ASSERT_EQ(XdoTool({"windowfocus", "--sync", std::to_string(other.winId())}), 0);
  EXPECT_TRUE(PumpUntil([&] { return wnd.Queue().Count() > 0; }, std::chrono::seconds(3)));
  EXPECT_FALSE(form.isActiveWindow());
}

}  // namespace
}  // namespace kyv::test
