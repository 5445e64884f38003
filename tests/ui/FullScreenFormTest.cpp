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

std::string Key(int Vk, bool Up) {
  return "REQUEST\r\nCommand=KEYBD_EVENT\r\nbVk=" + std::to_string(Vk) +
         "\r\nbScan=0\r\ndwFlags=" + (Up ? "2" : "0");
}

std::string Mouse(int Flags, int X, int Y) {
  return "REQUEST\r\nCommand=MOUSE_EVENT\r\ndwFlags=" + std::to_string(Flags) +
         "\r\ndx=" + std::to_string(X) + "\r\ndy=" + std::to_string(Y) + "\r\ndwData=0";
}

// A full-screen window over the offscreen platform's screen, sending to a list of texts and
// leaving through a window of its own.
struct TFullScreen {
  explicit TFullScreen(int ScreenWidth, int ScreenHeight, bool Live = true) {
    if (Live) Form.SetReader([this](const std::string& Text) { Sent.push_back(Text); });
    Form.Prepare(ScreenWidth, ScreenHeight, Control.Handle());
  }

  // How many UM_LEAVE_FULLSCREEN are waiting; removes them.
  int Leaves() {
    int n = 0;
    TMessage message;
    while (Control.Queue().Peek(message, 0, 0, true)) n += message.Msg == UM_LEAVE_FULLSCREEN;
    return n;
  }

  void KeyEvent(QEvent::Type Type, int QtKey, bool AutoRepeat = false,
                Qt::KeyboardModifiers Modifiers = {}) {
    QKeyEvent event(Type, QtKey, Modifiers, QString(), AutoRepeat);
    QApplication::sendEvent(&Form, &event);
  }
  void MouseEvent(QWidget& Target, QEvent::Type Type, Qt::MouseButton Button, QPoint At) {
    const Qt::MouseButtons held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button;
    QMouseEvent event(Type, At, Target.mapToGlobal(At), Button, held, {});
    QApplication::sendEvent(&Target, &event);
  }

  TWindow Control;
  TfrmFullScreen Form;
  std::vector<std::string> Sent;
};

QSize ScreenSize() {
  return QGuiApplication::primaryScreen()->geometry().size();
}

TEST(FullScreenForm, CoversTheScreenWithTheReducedCentredPicture) {
  ASSERT_EQ(ScreenSize(), QSize(800, 800)) << "the offscreen platform's screen";
  struct TCase {
    int SW, SH, Zoom;
    QRect Picture;
  };
  for (const TCase& c :
       {TCase{640, 480, 100, {80, 160, 640, 480}}, TCase{1600, 1200, 50, {0, 100, 800, 600}},
        TCase{1000, 700, 80, {0, 120, 800, 560}}}) {
    TFullScreen full(c.SW, c.SH);
    EXPECT_EQ(full.Form.geometry(), QRect(0, 0, 800, 800));
    EXPECT_EQ(full.Form.Zoom(), c.Zoom);
    EXPECT_EQ(full.Form.Picture().geometry(), c.Picture);
    const TDib& bitmap = full.Form.Picture().Bitmap();
    ASSERT_EQ(QSize(bitmap.Width(), bitmap.Height()), c.Picture.size());
    EXPECT_EQ(bitmap.Colour(bitmap.Width() - 1, bitmap.Height() - 1), 0u);
  }
  TFullScreen full(1024, 768);
  EXPECT_EQ(full.Form.windowTitle(), QString::fromUtf8("全屏幕"));
  EXPECT_TRUE(full.Form.windowFlags().testFlag(Qt::FramelessWindowHint));
  // A recording without a size changes nothing.
  full.Form.Prepare(0, 768, full.Control.Handle());
  EXPECT_EQ(full.Form.Zoom(), 78);
  EXPECT_EQ(full.Form.Picture().width(), 798);
}

TEST(FullScreenForm, KeysGoToTheStationAndEscapeOrF7LeaveAfterTheirRelease) {
  TFullScreen full(640, 480);
  full.KeyEvent(QEvent::KeyPress, Qt::Key_A);
  // Held down: the toolkit pairs each repeated press with a release; only the presses go out.
  for (int i = 0; i < 2; ++i) {
    full.KeyEvent(QEvent::KeyRelease, Qt::Key_A, true);
    full.KeyEvent(QEvent::KeyPress, Qt::Key_A, true);
  }
  full.KeyEvent(QEvent::KeyRelease, Qt::Key_A);
  full.KeyEvent(QEvent::KeyPress, Qt::Key_Exclam, false, Qt::ShiftModifier);
  full.KeyEvent(QEvent::KeyPress, Qt::Key_Eacute);  // no code: nothing sent
  EXPECT_EQ(full.Leaves(), 0);
  EXPECT_EQ(full.Sent, (std::vector<std::string>{Key(65, false), Key(65, false), Key(65, false),
                                                 Key(65, true), Key(49, false)}));

  // Tab stays with the window rather than moving the focus.
  full.Form.show();
  full.Sent.clear();
  QTest::keyClick(&full.Form, Qt::Key_Tab);
  EXPECT_EQ(full.Sent, (std::vector<std::string>{Key(9, false), Key(9, true)}));

  for (const auto& [qtKey, vk] : {std::pair{Qt::Key_Escape, 27}, {Qt::Key_F7, 118}}) {
    full.Sent.clear();
    full.KeyEvent(QEvent::KeyPress, qtKey);
    full.KeyEvent(QEvent::KeyRelease, qtKey, true);
    full.KeyEvent(QEvent::KeyPress, qtKey, true);
    EXPECT_EQ(full.Leaves(), 0) << vk;
    full.KeyEvent(QEvent::KeyRelease, qtKey);
    EXPECT_EQ(full.Sent, (std::vector<std::string>{Key(vk, false), Key(vk, false), Key(vk, true)}));
    EXPECT_EQ(full.Leaves(), 1) << vk;
  }
}

TEST(FullScreenForm, AFileGetsNothingButEscapeStillLeaves) {
  TFullScreen full(640, 480, false);
  full.Form.show();
  QTest::keyClick(&full.Form, Qt::Key_A);
  full.MouseEvent(full.Form.Picture(), QEvent::MouseButtonPress, Qt::LeftButton, {3, 4});
  QTest::keyClick(&full.Form, Qt::Key_Escape);
  EXPECT_TRUE(full.Sent.empty());
  EXPECT_EQ(full.Leaves(), 1);
}

TEST(FullScreenForm, PointerOverThePictureOnlyInRecordingPixels) {
  TFullScreen full(640, 480);
  QWidget& picture = full.Form.Picture();
  full.MouseEvent(picture, QEvent::MouseMove, Qt::NoButton, {10, 20});
  const std::pair<Qt::MouseButton, int> buttons[] = {
      {Qt::LeftButton, 2}, {Qt::RightButton, 8}, {Qt::MiddleButton, 32}};
  for (const auto& [button, flags] : buttons) {
    full.MouseEvent(picture, QEvent::MouseButtonPress, button, {1, 2});
    full.MouseEvent(picture, QEvent::MouseButtonRelease, button, {639, 479});
  }
  // The black margin belongs to the window, which sends nothing.
  full.MouseEvent(full.Form, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  full.MouseEvent(full.Form, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});
  full.MouseEvent(picture, QEvent::MouseButtonPress, Qt::BackButton, {1, 2});
  // A double click is the two presses and releases that make it up, and nothing else.
  full.MouseEvent(picture, QEvent::MouseButtonPress, Qt::LeftButton, {7, 7});
  full.MouseEvent(picture, QEvent::MouseButtonRelease, Qt::LeftButton, {7, 7});
  full.MouseEvent(picture, QEvent::MouseButtonDblClick, Qt::LeftButton, {7, 7});
  full.MouseEvent(picture, QEvent::MouseButtonRelease, Qt::LeftButton, {7, 7});
  EXPECT_EQ(full.Sent, (std::vector<std::string>{
                           Mouse(32769, 10, 20), Mouse(2, 1, 2), Mouse(4, 639, 479), Mouse(8, 1, 2),
                           Mouse(16, 639, 479), Mouse(32, 1, 2), Mouse(64, 639, 479),
                           Mouse(2, 7, 7), Mouse(4, 7, 7), Mouse(2, 7, 7), Mouse(4, 7, 7)}));
  EXPECT_EQ(full.Control.Queue().Count(), 0u);

  // Reduced to half: the station still gets its own pixels.
  TFullScreen half(1600, 1200);
  half.MouseEvent(half.Form.Picture(), QEvent::MouseMove, Qt::NoButton, {10, 20});
  half.MouseEvent(half.Form.Picture(), QEvent::MouseButtonRelease, Qt::LeftButton, {900, -5});
  EXPECT_EQ(half.Sent, (std::vector<std::string>{Mouse(32769, 20, 40), Mouse(4, 1599, 0)}));
}

TEST(FullScreenForm, LosingTheFocusLeavesButASlowFirstFocusIsWaitedFor) {
  TFullScreen never(640, 480);
  never.Form.FrontTimer().stop();  // the test ticks it
  for (int i = 1; i < TfrmFullScreen::kFirstFocusTicks; ++i) never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 0);
  never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 1);

  TFullScreen full(640, 480);
  full.Form.FrontTimer().stop();
  full.Form.Present();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&full.Form));
  for (int i = 0; i < 2 * TfrmFullScreen::kFirstFocusTicks; ++i) full.Form.FrontTimerTimer();
  EXPECT_EQ(full.Leaves(), 0);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  full.Form.FrontTimerTimer();
  EXPECT_EQ(full.Leaves(), 1);
  // The window manager's close is refused.
  EXPECT_FALSE(full.Form.close());
  EXPECT_TRUE(full.Form.isVisible());
}

// Each pixel holds its own column and row, a quarter of each in the red and green bytes.
void FillCoded(TBackBuffer& Buffer, int W, int H) {
  Buffer.SetSize(W, H);
  TPixels24 pixels(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) pixels.SetColour(x, y, static_cast<uint32_t>(x / 4 | (y / 4) << 8));
  const std::vector<uint8_t> image = EncodeBitmapFile(pixels, 24);
  TFrameHeader header{};
  header.FrameType = ftKeyFrame;
  header.DataSize = static_cast<uint32_t>(image.size());
  std::lock_guard lock(Buffer);
  Buffer.ApplyFrame(header, image.data(), image.size());
}

TEST(FullScreenForm, AReducedPictureShowsTheWholeRecordingWherePositionsMapBack) {
  TBackBuffer buffer;
  FillCoded(buffer, 1000, 700);
  TFullScreen full(1000, 700);
  ASSERT_EQ(full.Form.Zoom(), 80);
  full.Form.RepaintRect(buffer, {0, 0, 1000, 700});
  const TDib& bitmap = full.Form.Picture().Bitmap();
  // Every pixel shows (within a step of the coding) the recording pixel its position maps to.
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
