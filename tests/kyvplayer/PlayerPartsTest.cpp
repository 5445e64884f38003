// The player's parts on Qt's offscreen platform: the command line, the key table against the
// window's actions, the recent files, the texts people read, and a refusing station's reason on
// the status line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>
#include <set>
#include <sstream>

#include "CommandLine.h"
#include "ControlLink.h"
#include "PlayerTexts.h"
#include "PlayerWindow.h"
#include "RecentFiles.h"
#include "Shortcuts.h"
#include "support/ChildProcess.h"
#include "support/SmallSample.h"
#include "support/TempFolder.h"
#include "writer/SampleRecording.h"

namespace kyv::player {
namespace {

using test::TTempFolder;

// ---- Command line ----

TEST(CommandLine, ReadsWhatThePlayerIsAsked) {
  const TPlayerOptions all =
      ParseCommandLine({"--at", "5000", "--paused", "--mode=original", "--screenshot", "s.png",
                        "--after", "700", "/r/a.kyv"});
  EXPECT_EQ(all.Address, "/r/a.kyv");
  EXPECT_EQ(all.At, 5000);
  EXPECT_TRUE(all.Paused);
  EXPECT_EQ(all.Mode, dmOriginal);
  EXPECT_EQ(all.Screenshot, "s.png");
  EXPECT_EQ(all.After, 700);

  const TPlayerOptions toolkit = ParseCommandLine({"-platform", "offscreen", "--", "--odd.kyv"});
  EXPECT_EQ(toolkit.Address, "--odd.kyv");
  EXPECT_FALSE(toolkit.At);
  EXPECT_FALSE(toolkit.Mode);

  EXPECT_EQ(ParseCommandLine({"--mode", "full"}).Mode, dmFull);
  EXPECT_EQ(ParseCommandLine({"--mode", "adaptive"}).Mode, dmAdaptive);
  EXPECT_EQ(ParseCommandLine({"--at=2147483647"}).At, 2147483647);
  EXPECT_TRUE(ParseCommandLine({"--help"}).Help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).Version);
}

TEST(CommandLine, RefusesWhatItCannotFollow) {
  const std::vector<std::vector<std::string>> bad = {
      {"--at"},          {"--at", "-1"},   {"--at", "2147483648"}, {"--at", "5s"},
      {"--mode", "big"}, {"--screenshot"}, {"--screenshot="},      {"--after", "5"},
      {"--paused=yes"},  {"--frobnicate"}, {"a.kyv", "b.kyv"},     {""}};
  for (const auto& args : bad) {
    std::string line;
    for (const auto& arg : args) line += "[" + arg + "] ";
    EXPECT_THROW(ParseCommandLine(args), EUsageError) << line;
  }
}

// ---- Texts ----

TEST(PlayerTexts, ClockAndFailures) {
  EXPECT_EQ(ClockText(65000, 1200000), "00:01:05 / 00:20:00");
  EXPECT_EQ(ClockText(-5, 0), "00:00:00 / 00:00:00");
  EXPECT_EQ(ClockText(3723000, 0, true), "01:02:03 / live");
  EXPECT_EQ(ClockText(360000999, 360000999), "100:00:00 / 100:00:00");
  EXPECT_EQ(TitleOf("http://host/rec/x.kyv?token=1"), "x.kyv");
  EXPECT_EQ(TitleOf("kyvs://host/demo/"), "demo");

  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(FailureText("http://host/x.kyv", {15, "读文件失败", "connection refused"}, true),
            "cannot open http://host/x.kyv: error 15, 读文件失败 (reading the file failed): "
            "connection refused");
  EXPECT_EQ(FailureText("kyvs://h/c", {7, "发生网络错误", ""}, false),
            "cannot go on playing kyvs://h/c: error 7, 发生网络错误 (a network error occurred)");
  EXPECT_EQ(FailureText("x.sms", {0, "Fail to download file: x.sms", ""}, true),
            "cannot open x.sms: Fail to download file: x.sms");
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(FailureText("a", {4, "拒绝提供直播服务", "no"}, true),
            "cannot open a: error 4, 拒绝提供直播服务: no");
  unsetenv("LC_ALL");
}

// ---- Recent files ----

TEST(RecentFiles, NewestFirstOnceWithinTheLimitAndKept) {
  TTempFolder folder("kyvplayer_recent");
  const QString path = QString::fromStdString((folder / "settings.ini").string());
  {
    QSettings settings(path, QSettings::IniFormat);
    TRecentFiles recent(settings, 3);
    for (const char* address : {"a", "b", "c", "b", "d", "  "}) recent.Add(address);
    EXPECT_EQ(recent.Items(), QStringList({"d", "b", "c"}));
  }
  QSettings settings(path, QSettings::IniFormat);
  TRecentFiles again(settings, 2);
  EXPECT_EQ(again.Items(), QStringList({"d", "b"}));
  again.Clear();
  EXPECT_TRUE(TRecentFiles(settings).Items().isEmpty());
}

// ---- The link to the control ----

TEST(ControlLink, RegistersTheLibraryOnlyWhenTheClassIsNotThere) {
  TTempFolder folder("kyvplayer_link");
  setenv("KYV_REGISTRY", (folder / "registry").c_str(), 1);
  setenv("KYV_CACHE_DIR", (folder / "cache").c_str(), 1);
  setenv("KYV_LOG_DIR", (folder / "log").c_str(), 1);
  const std::string note = "kyvplayer: registered the player control ";
  const auto library = std::filesystem::path(KYVPLAYER_LIBRARY);

  // Nothing registered, and no library where the player looks: it says what is missing.
  std::ostringstream none;
  try {
    TControlLink link(none, {folder / "libkyvplayer.so"});
    ADD_FAILURE() << "a control without a library";
  } catch (const EControlError& e) {
    EXPECT_NE(std::string(e.what()).find("no control library was found"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(none.str(), "");

  // The first library that exists is registered, once.
  std::ostringstream first, second;
  { TControlLink link(first, {folder / "libkyvplayer.so", library}); }
  EXPECT_EQ(first.str(), note + library.string() + "\n");
  { TControlLink link(second, {library}); }
  EXPECT_EQ(second.str(), "");

  // A registration whose library has gone is made again.
  char16_t clsid[40];
  ASSERT_EQ(StringFromGUID2(CLSID_KyvPlayerCtrl, clsid, 40), 39);
  std::string key = "CLSID\\";
  for (char16_t unit : std::u16string_view(clsid)) key += static_cast<char>(unit);
  ASSERT_EQ(KyvRegSetValue((key + "\\InprocServer32").c_str(), "",
                           (folder / "gone" / "libkyvplayer.so").c_str()),
            S_OK);
  std::ostringstream again;
  TControlLink link(again, {library});
  EXPECT_EQ(again.str(), note + library.string() + "\n");
  EXPECT_EQ(link.Status(), vpClosed);
}

// ---- The window over a real control ----

// A control made through the runtime with a registry of the test's own.
class PlayerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KYV_REGISTRY", (FFolder / "registry").c_str(), 1);
    setenv("KYV_CACHE_DIR", (FFolder / "cache").c_str(), 1);
    setenv("KYV_LOG_DIR", (FFolder / "log").c_str(), 1);
    setenv("LC_ALL", "C", 1);
    FLink = std::make_unique<TControlLink>(FNotes);
    FWindow = std::make_unique<TPlayerWindow>(*FLink, FSettings);
    FWindow->show();
    FWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FWindow.get()));
  }
  void TearDown() override {
    FWindow.reset();
    FLink.reset();
    unsetenv("LC_ALL");
  }

  // Runs the event loop until Done holds or Ms pass.
  bool WaitFor(const std::function<bool()>& Done, int Ms = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
      if (clock.elapsed() > Ms) return false;
      QTest::qWait(20);
    }
    return true;
  }

  TTempFolder FFolder{"kyvplayer_window"};
  QSettings FSettings{QString::fromStdString((FFolder / "settings.ini").string()),
                      QSettings::IniFormat};
  std::ostringstream FNotes;
  std::unique_ptr<TControlLink> FLink;
  std::unique_ptr<TPlayerWindow> FWindow;
};

TEST_F(PlayerWindowTest, EveryKeyOfTheTableDoesItsActionOnce) {
  EXPECT_NE(FNotes.str().find("registered the player control"), std::string::npos);
  // Dialogs that actions open are answered at once.
  QTimer dismiss;
  QObject::connect(&dismiss, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  dismiss.start(10);

  std::set<QKeySequence> seen;
  for (const TShortcut& row : ShortcutTable()) {
    for (const QKeySequence& key : row.Keys) {
      EXPECT_TRUE(seen.insert(key).second) << key.toString().toStdString() << " is in two rows";
      // Media keys come from the desktop, not from the keyboard test.
      if (key[0].key() >= Qt::Key_MediaPlay && key[0].key() <= Qt::Key_MediaLast) continue;
      std::vector<TPlayerAction> performed;
      const auto connection =
          QObject::connect(FWindow.get(), &TPlayerWindow::ActionPerformed,
                           [&](TPlayerAction Action) { performed.push_back(Action); });
      QTest::keyClick(FWindow.get(), key[0].key(), key[0].keyboardModifiers());
      QObject::disconnect(connection);
      EXPECT_EQ(performed, std::vector<TPlayerAction>{row.Action})
          << row.Text.toStdString() << ": " << key.toString().toStdString();
      // Quit closes and full screen changes the window: back to where every key starts.
      if (FWindow->WindowFullScreen()) QTest::keyClick(FWindow.get(), Qt::Key_Escape);
      EXPECT_FALSE(FWindow->WindowFullScreen());
      // A dialog that was answered, or Quit, took the keyboard away.
      FWindow->show();
      FWindow->activateWindow();
      QApplication::setActiveWindow(FWindow.get());
      ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == FWindow.get(); }));
    }
  }
  for (const TShortcut& row : ShortcutTable())
    EXPECT_EQ(FWindow->ActionOf(row.Action)->shortcuts(), row.Keys);
}

TEST_F(PlayerWindowTest, DoubleClickOnThePictureIsTheWindowsFullScreen) {
  QWidget* control = FWindow->ControlWidget();
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(FWindow->isAncestorOf(control));
  QWidget* inner = control->childAt(control->rect().center());
  QWidget* target = inner != nullptr ? inner : control;
  QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
  EXPECT_TRUE(FWindow->WindowFullScreen());
  EXPECT_TRUE(FWindow->menuBar()->isHidden());
  EXPECT_TRUE(FWindow->statusBar()->isHidden());
  // The window's full screen, not the control's display mode.
  EXPECT_EQ(FLink->DisplayMode(), dmAdaptive);
  QTest::keyClick(FWindow.get(), Qt::Key_F);
  EXPECT_FALSE(FWindow->WindowFullScreen());
  EXPECT_TRUE(FWindow->statusBar()->isVisible());
}

TEST_F(PlayerWindowTest, DroppedFilePlaysAndIsRemembered) {
  const auto sample = FFolder / "dropped.kyv";
  WriteSampleRecording(sample, test::SmallSample(1));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(sample.string()))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(FWindow.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(FWindow.get(), &drop);

  EXPECT_EQ(FWindow->Address().toStdString(), sample.string());
  ASSERT_TRUE(WaitFor([&] { return FWindow->Status() == vpPlaying; })) << FWindow->Status();
  EXPECT_EQ(FWindow->Duration(), 1000);
  EXPECT_EQ(FWindow->windowTitle(), "dropped.kyv - KyvPlayer");
  EXPECT_EQ(TRecentFiles(FSettings).Items().value(0).toStdString(), sample.string());
  // The recording plays to its end, where the control stops and rewinds.
  ASSERT_TRUE(WaitFor([&] { return FWindow->Status() == vpStopped; }));
  EXPECT_EQ(FWindow->Position(), 0);
  EXPECT_TRUE(FWindow->Failure().isEmpty());
}

TEST_F(PlayerWindowTest, SeekKeysMoveThePositionWithinTheRecording) {
  const auto sample = FFolder / "seek.kyv";
  WriteSampleRecording(sample, test::SmallSample(40));
  TPlayerOptions options;
  options.Address = sample.string();
  options.At = 12000;
  options.Paused = true;
  FWindow->Start(options);
  ASSERT_TRUE(WaitFor([&] { return !FWindow->Starting() && FLink->Position() == 12000; }))
      << FLink->Position();
  EXPECT_EQ(FWindow->Status(), vpOpened);
  // Each key from where the one before left the position; the ends bound it.
  const std::vector<std::tuple<Qt::Key, Qt::KeyboardModifiers, int32_t>> steps = {
      {Qt::Key_Right, Qt::NoModifier, 17000},    {Qt::Key_Left, Qt::NoModifier, 12000},
      {Qt::Key_Right, Qt::ShiftModifier, 40000}, {Qt::Key_Left, Qt::ShiftModifier, 10000},
      {Qt::Key_Left, Qt::ShiftModifier, 0},      {Qt::Key_End, Qt::NoModifier, 40000},
      {Qt::Key_Home, Qt::NoModifier, 0}};
  for (const auto& [key, modifiers, expected] : steps) {
    QTest::keyClick(FWindow.get(), key, modifiers);
    EXPECT_TRUE(WaitFor([&] { return FLink->Position() == expected; }))
        << QKeySequence(key | modifiers).toString().toStdString() << ": " << FLink->Position();
  }
  EXPECT_EQ(FWindow->Status(), vpOpened);

  // The slider over the length: a page click beside the handle seeks, and the clock follows.
  auto* clock = FWindow->findChild<QLabel*>("clock");
  auto* slider = FWindow->findChild<QSlider*>();
  ASSERT_NE(clock, nullptr);
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(clock->text(), "00:00:00 / 00:00:40");
  EXPECT_EQ(slider->maximum(), 40000);
  slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_TRUE(WaitFor([&] { return FLink->Position() == 30000; })) << FLink->Position();
  EXPECT_EQ(clock->text(), "00:00:30 / 00:00:40");

  // Fast forward doubles the speed each time, and Space pauses and plays at 1x.
  QTest::keyClick(FWindow.get(), Qt::Key_Plus);
  QTest::keyClick(FWindow.get(), Qt::Key_Plus);
  EXPECT_EQ(FWindow->Status(), vpScanForward);
  auto* speed = FWindow->findChild<QLabel*>("speed");
  ASSERT_NE(speed, nullptr);
  EXPECT_EQ(speed->text(), "4x");
  QTest::keyClick(FWindow.get(), Qt::Key_Space);
  EXPECT_EQ(FWindow->Status(), vpPaused);
  QTest::keyClick(FWindow.get(), Qt::Key_Space);
  EXPECT_EQ(FWindow->Status(), vpPlaying);
  EXPECT_TRUE(speed->isHidden());
  QTest::keyClick(FWindow.get(), Qt::Key_S);
  EXPECT_EQ(FWindow->Status(), vpStopped);
}

TEST_F(PlayerWindowTest, FailedOpensSayWhy) {
  // Refused at once: the description cannot be fetched.
  const QString sms = "http://127.0.0.1:1/live.sms";
  FWindow->OpenAddress(sms);
  EXPECT_EQ(FWindow->Failure(), "cannot open " + sms + ": Fail to download file: " + sms);
  EXPECT_EQ(FWindow->Status(), vpClosed);
  EXPECT_EQ(FWindow->StatusLine(), FWindow->Failure());

  // Refused later by the reader: the control waits in "opening", the window still tells why.
  const QString missing = QString::fromStdString((FFolder / "missing.kyv").string());
  FWindow->OpenAddress(missing);
  EXPECT_TRUE(FWindow->Failure().isEmpty());
  ASSERT_TRUE(WaitFor([&] { return !FWindow->Failure().isEmpty(); }));
  EXPECT_TRUE(FWindow->Failure().startsWith("cannot open " + missing + ": error "))
      << FWindow->Failure().toStdString();
  EXPECT_TRUE(FWindow->Failure().endsWith("No such file or directory"))
      << FWindow->Failure().toStdString();
  EXPECT_EQ(FWindow->Status(), vpOpening);
  EXPECT_EQ(FWindow->StatusLine(), FWindow->Failure());
}

TEST_F(PlayerWindowTest, RefusingStationGivesItsReasonOnTheStatusLine) {
  const auto sample = FFolder / "sample.kyv";
  WriteSampleRecording(sample, test::SmallSample(2));
  const auto output = FFolder / "station.txt";
  test::TChildProcess station(
      {KYVSTATION_PATH, "--port", "0", "--bind", "127.0.0.1", "--deny", sample.string()}, output);
  const uint16_t port = test::WaitForReportedPort(station, output, test::kStationServingPattern,
                                                  std::chrono::seconds(10));
  ASSERT_NE(port, 0) << test::ReadTextFile(output);

  const QString address = QString("kyvs://127.0.0.1:%1/demo").arg(port);
  FWindow->OpenAddress(address);
  ASSERT_TRUE(WaitFor([&] { return !FWindow->Failure().isEmpty(); }));
  const QString expected =
      "cannot open " + address + ": error 4, 拒绝提供直播服务 (live service refused): ";
  EXPECT_TRUE(FWindow->StatusLine().startsWith(expected)) << FWindow->StatusLine().toStdString();
  EXPECT_TRUE(FWindow->StatusLine().endsWith("; reconnecting in 3 s"))
      << FWindow->StatusLine().toStdString();
  EXPECT_EQ(FWindow->Status(), vpClosed);

  // Opened again, it fails as before: that is told again, not taken for old news.
  FWindow->OpenAddress(address);
  EXPECT_TRUE(FWindow->Failure().isEmpty());
  ASSERT_TRUE(WaitFor([&] { return !FWindow->Failure().isEmpty(); }));
  EXPECT_TRUE(FWindow->StatusLine().startsWith(expected)) << FWindow->StatusLine().toStdString();
}

}  // namespace
}  // namespace kyv::player
