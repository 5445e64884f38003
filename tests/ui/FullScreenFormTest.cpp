#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <mutex>
#include <string>
#include <vector>

#include "context/UserMessages.h"
#include "picture/BackBuffer.h"
#include "platform/Window.h"
#include "ui/FullScreenForm.h"
#include "writer/BitmapWriter.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

using TTexts = std::vector<std::string>;

std::string Key(int Vk, bool Up) {
  return "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=" + std::to_string(Vk) +
         "\r\nbScan=0\r\ndwFlags=" + (Up ? "2" : "0");
}

std::string Mouse(int Flags, int X, int Y) {
  return "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=" + std::to_string(Flags) +
         "\r\ndx=" + std::to_string(X) + "\r\ndy=" + std::to_string(Y) + "\r\ndwData=0";
}

// A full-screen window on the offscreen platform's 800 x 800 screen, sending to a list of texts
// (a live station) or to nothing (a file), and leaving through a window of its own.
struct TFullScreen {
  explicit TFullScreen(int ScreenWidth, int ScreenHeight, bool Live = true) {
    if (Live) Form.SetReader([this](const std::string& Text) { Sent.push_back(Text); });
    Form.Prepare(ScreenWidth, ScreenHeight, Control.Handle());
    Form.FrontTimer().stop();  // the tests tick it
  }
  // How many UM_LEAVE_FULLSCREEN came; takes them.
  int Leaves() {
    int n = 0;
    for (TMessage m; Control.Queue().Peek(m);) n += m.Msg == UM_LEAVE_FULLSCREEN;
    return n;
  }
  void Press(int QtKey, bool Down, bool AutoRepeat = false, Qt::KeyboardModifiers Mods = {}) {
    QKeyEvent event(Down ? QEvent::KeyPress : QEvent::KeyRelease, QtKey, Mods, {}, AutoRepeat);
    QApplication::sendEvent(&Form, &event);
  }
  void Pointer(QWidget& Target, QEvent::Type Type, Qt::MouseButton Button, QPoint At) {
    const Qt::MouseButtons held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button;
    QMouseEvent event(Type, At, Target.mapToGlobal(At), Button, held, {});
    QApplication::sendEvent(&Target, &event);
  }

  TWindow Control;
  TfrmFullScreen Form;
  TTexts Sent;
};

TEST(FullScreenForm, CoversTheScreenWithTheReducedCentredPicture) {
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 800));
  for (const auto& [sw, sh, zoom, picture] : {std::tuple(640, 480, 100, QRect(80, 160, 640, 480)),
                                              std::tuple(1000, 700, 80, QRect(0, 120, 800, 560))}) {
    TFullScreen full(sw, sh);
    EXPECT_EQ(full.Form.geometry(), QRect(0, 0, 800, 800));
    EXPECT_EQ(full.Form.Zoom(), zoom);
    EXPECT_EQ(full.Form.Picture().geometry(), picture);
    const TDib& bitmap = full.Form.Picture().Bitmap();
    ASSERT_EQ(QRect(picture.topLeft(), QSize(bitmap.Width(), bitmap.Height())), picture);
    EXPECT_EQ(bitmap.Colour(bitmap.Width() - 1, bitmap.Height() - 1), 0u);  // black
    // A recording without a size changes nothing.
    full.Form.Prepare(0, 768, full.Control.Handle());
    EXPECT_EQ(full.Form.Picture().geometry(), picture);
  }
  TFullScreen full(1, 1);
  EXPECT_EQ(full.Form.windowTitle(), QString::fromUtf8("全屏幕"));
  EXPECT_TRUE(full.Form.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_FALSE(full.Form.close());  // Alt+F4 and the window manager's close are refused
}

TEST(FullScreenForm, KeysGoToTheStationAndEscapeOrF7LeaveAfterTheirRelease) {
  TFullScreen full(640, 480);
  // Held down, the toolkit pairs each repeated press with a release; only the presses go out.
  full.Press(Qt::Key_A, true);
  full.Press(Qt::Key_A, false, true);
  full.Press(Qt::Key_A, true, true);
  full.Press(Qt::Key_A, false);
  full.Press(Qt::Key_Exclam, true, false, Qt::ShiftModifier);
  full.Press(Qt::Key_Eacute, true);  // no code: nothing
  full.Form.show();
  QTest::keyClick(&full.Form, Qt::Key_Tab);  // not taken by the focus chain
  EXPECT_EQ(full.Sent, (TTexts{Key(65, false), Key(65, false), Key(65, true), Key(49, false),
                               Key(9, false), Key(9, true)}));
  for (const auto& [qtKey, vk] : {std::pair{Qt::Key_Escape, 27}, {Qt::Key_F7, 118}}) {
    full.Sent.clear();
    full.Press(qtKey, true);
    full.Press(qtKey, false, true);
    EXPECT_EQ(full.Leaves(), 0) << vk;
    full.Press(qtKey, false);
    EXPECT_EQ(full.Sent, (TTexts{Key(vk, false), Key(vk, true)}));
    EXPECT_EQ(full.Leaves(), 1) << vk;
  }
}

TEST(FullScreenForm, AFileGetsNothingButEscapeStillLeaves) {
  TFullScreen full(640, 480, false);
  full.Press(Qt::Key_A, true);
  full.Pointer(full.Form.Picture(), QEvent::MouseButtonPress, Qt::LeftButton, {3, 4});
  full.Press(Qt::Key_Escape, true);
  full.Press(Qt::Key_Escape, false);
  EXPECT_TRUE(full.Sent.empty());
  EXPECT_EQ(full.Leaves(), 1);
}

TEST(FullScreenForm, PointerOverThePictureOnlyInRecordingPixels) {
  TFullScreen full(640, 480);
  QWidget& picture = full.Form.Picture();
  full.Pointer(picture, QEvent::MouseMove, Qt::NoButton, {10, 20});
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    full.Pointer(picture, QEvent::MouseButtonPress, button, {1, 2});
    full.Pointer(picture, QEvent::MouseButtonRelease, button, {639, 479});
  }
  // The black margin belongs to the window, which sends nothing.
  full.Pointer(full.Form, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  full.Pointer(picture, QEvent::MouseButtonPress, Qt::BackButton, {1, 2});
  // A double click is the presses and releases that make it up, and nothing else.
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
    full.Pointer(picture, type, Qt::LeftButton, {7, 7});
  EXPECT_EQ(full.Sent,
            (TTexts{Mouse(32769, 10, 20), Mouse(2, 1, 2), Mouse(4, 639, 479), Mouse(8, 1, 2),
                    Mouse(16, 639, 479), Mouse(32, 1, 2), Mouse(64, 639, 479), Mouse(2, 7, 7),
                    Mouse(4, 7, 7), Mouse(2, 7, 7), Mouse(4, 7, 7)}));
  EXPECT_EQ(full.Control.Queue().Count(), 0u);

  // Reduced to half: the station still gets its own pixels, held inside its screen.
  TFullScreen half(1600, 1200);
  half.Pointer(half.Form.Picture(), QEvent::MouseMove, Qt::NoButton, {10, 20});
  half.Pointer(half.Form.Picture(), QEvent::MouseButtonRelease, Qt::LeftButton, {900, -5});
  EXPECT_EQ(half.Sent, (TTexts{Mouse(32769, 20, 40), Mouse(4, 1599, 0)}));
}

TEST(FullScreenForm, LosingTheFocusLeavesButASlowFirstFocusIsWaitedFor) {
  TFullScreen never(640, 480);
  for (int i = 1; i < TfrmFullScreen::kFirstFocusTicks; ++i) never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 0);
  never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 1);

  TFullScreen full(640, 480);
  full.Form.Present();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&full.Form));
  full.Form.FrontTimerTimer();
  EXPECT_EQ(full.Leaves(), 0);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  full.Form.FrontTimerTimer();
  EXPECT_EQ(full.Leaves(), 1);
}

TEST(FullScreenForm, AReducedPictureShowsTheWholeRecordingWherePositionsMapBack) {
  // Each pixel holds a quarter of its column and of its row in its red and green bytes.
  TPixels24 pixels(1000, 700);
  for (int y = 0; y < 700; ++y)
    for (int x = 0; x < 1000; ++x)
      pixels.SetColour(x, y, static_cast<uint32_t>(x / 4 | y / 4 << 8));
  const std::vector<uint8_t> image = EncodeBitmapFile(pixels, 24);
  TBackBuffer buffer;
  buffer.SetSize(1000, 700);
  TFrameHeader header{};
  header.FrameType = ftKeyFrame;
  header.DataSize = static_cast<uint32_t>(image.size());
  {
    std::lock_guard lock(buffer);
    buffer.ApplyFrame(header, image.data(), image.size());
  }
  TFullScreen full(1000, 700);
  full.Form.RepaintRect(buffer, {0, 0, 1000, 700});
  const TDib& bitmap = full.Form.Picture().Bitmap();
  for (int y = 0; y < bitmap.Height(); y += 7)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TPoint p = full.Form.Layout().ToRecording(x, y);
      const uint32_t c = bitmap.Colour(x, y);
      ASSERT_LE(std::abs(static_cast<int>(c & 0xFF) - p.X / 4), 1) << x << "," << y;
      ASSERT_LE(std::abs(static_cast<int>(c >> 8 & 0xFF) - p.Y / 4), 1) << x << "," << y;
    }
  EXPECT_EQ(bitmap.Colour(bitmap.Width() - 1, bitmap.Height() - 1), 249u | 174u << 8);
}

}  // namespace
}  // namespace kyv
