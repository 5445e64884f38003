#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <mutex>

#include "RequestTexts.h"
#include "context/UserMessages.h"
#include "picture/BackBuffer.h"
#include "ui/FullScreenForm.h"
#include "writer/BitmapWriter.h"

namespace kyv {
namespace {

using test::KeyText;
using test::MouseText;
using TTexts = std::vector<std::string>;

// A full-screen window on the offscreen platform's 800 x 800 screen, sending to a list of texts
// (a live station) or to nothing (a file), and leaving through a window of its own.
struct TFullScreen {
  explicit TFullScreen(int ScreenWidth, int ScreenHeight, bool Live = true) {
    if (Live) Form.SetReader([this](const std::string& Text) { Sent.push_back(Text); });
    Form.Prepare(ScreenWidth, ScreenHeight, Control.Handle());
    Form.FrontTimer().stop();  // the tests tick it
  }
  int Leaves() {  // how many UM_LEAVE_FULLSCREEN came; takes them
    int n = 0;
    for (TMessage m; Control.Queue().Peek(m);) n += m.Msg == UM_LEAVE_FULLSCREEN;
    return n;
  }
  void Key(int QtKey, bool Down, bool AutoRepeat = false, Qt::KeyboardModifiers Mods = {}) {
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

TEST(FullScreenForm, KeysGoToTheStationAndEscapeOrF7LeaveAfterTheirRelease) {
  TFullScreen full(640, 480);
  EXPECT_EQ(full.Form.windowTitle(), QString::fromUtf8("全屏幕"));
  EXPECT_FALSE(full.Form.close());  // Alt+F4 and the window manager's close are refused
  // Held down, the toolkit pairs each repeated press with a release; only the presses go out.
  full.Key(Qt::Key_A, true);
  full.Key(Qt::Key_A, false, true);
  full.Key(Qt::Key_A, true, true);
  full.Key(Qt::Key_A, false);
  full.Key(Qt::Key_Exclam, true, false, Qt::ShiftModifier);
  full.Form.show();
  QTest::keyClick(&full.Form, Qt::Key_Tab);  // not taken by the focus chain
  EXPECT_EQ(full.Sent, (TTexts{KeyText(65, false), KeyText(65, false), KeyText(65, true),
                               KeyText(49, false), KeyText(9, false), KeyText(9, true)}));
  // Leaving releases what is still held (the 1 key of "!") after Escape's own release.
  for (const auto& [qtKey, vk, held] :
       {std::tuple{Qt::Key_Escape, 27, TTexts{KeyText(49, true)}}, {Qt::Key_F7, 118, TTexts{}}}) {
    full.Sent.clear();
    full.Key(qtKey, true);
    full.Key(qtKey, false, true);
    EXPECT_EQ(full.Leaves(), 0) << vk;
    full.Key(qtKey, false);
    TTexts expected{KeyText(vk, false), KeyText(vk, true)};
    expected.insert(expected.end(), held.begin(), held.end());
    EXPECT_EQ(full.Sent, expected);
    EXPECT_EQ(full.Leaves(), 1) << vk;
  }
  // A file gets nothing, and Escape still leaves.
  TFullScreen file(640, 480, false);
  file.Key(Qt::Key_Escape, true);
  file.Key(Qt::Key_Escape, false);
  EXPECT_EQ(file.Leaves(), 1);
}

TEST(FullScreenForm, PointerOverThePictureOnlyInRecordingPixels) {
  TFullScreen full(640, 480);
  QWidget& picture = full.Form.Picture();
  ASSERT_EQ(picture.geometry(), QRect(80, 160, 640, 480));
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    full.Pointer(picture, QEvent::MouseButtonPress, button, {1, 2});
    full.Pointer(picture, QEvent::MouseButtonRelease, button, {639, 479});
  }
  full.Pointer(full.Form, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});  // the margin
  // A double click is the presses and releases that make it up, and nothing else.
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
    full.Pointer(picture, type, Qt::LeftButton, {7, 7});
  EXPECT_EQ(full.Sent, (TTexts{MouseText(2, 1, 2), MouseText(4, 639, 479), MouseText(8, 1, 2),
                               MouseText(16, 639, 479), MouseText(32, 1, 2),
                               MouseText(64, 639, 479), MouseText(2, 7, 7), MouseText(4, 7, 7),
                               MouseText(2, 7, 7), MouseText(4, 7, 7)}));
  EXPECT_EQ(full.Control.Queue().Count(), 0u);

  // Reduced to half: the station still gets its own pixels, held inside its screen.
  TFullScreen half(1600, 1200);
  half.Pointer(half.Form.Picture(), QEvent::MouseMove, Qt::NoButton, {10, 20});
  half.Pointer(half.Form.Picture(), QEvent::MouseButtonRelease, Qt::LeftButton, {900, -5});
  EXPECT_EQ(half.Sent, (TTexts{MouseText(32769, 20, 40), MouseText(4, 1599, 0)}));
}

TEST(FullScreenForm, ASlowFirstFocusIsWaitedFor) {
  TFullScreen never(640, 480);
  for (int i = 1; i < TfrmFullScreen::kFirstFocusTicks; ++i) never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 0);
  never.Form.FrontTimerTimer();
  EXPECT_EQ(never.Leaves(), 1);
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
  buffer.Lock();
  buffer.ApplyFrame(header, image.data(), image.size());
  buffer.Unlock();
  TFullScreen full(1000, 700);
  ASSERT_EQ(full.Form.Picture().geometry(), QRect(0, 120, 800, 560));
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
