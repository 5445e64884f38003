#include <gtest/gtest.h>
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "context/UserMessages.h"
#include "nails/NailRecord.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "support/TempFolder.h"
#include "ui/NailsFrame.h"
#include "writer/NailsWriter.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

// A folder with one readable PNG, one JPEG-in-a-.bmp and one damaged file.
class NailsFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage image(48, 36, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    ASSERT_TRUE(image.save(QString::fromStdString(Png()), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString((FDir / "jpeg.bmp").string()), "JPEG"));
    std::ofstream(FDir / "bad.jpg") << "not an image";
  }
  std::string Png() const { return (FDir / "a.png").string(); }
  std::string Bad() const { return (FDir / "bad.jpg").string(); }

  void AddAt(TNailsFrame& strip, std::initializer_list<int> seconds) {
    for (int s : seconds) ASSERT_TRUE(strip.AddNail(Png(), s));
  }

  // The control's part of the hand-shake: each UM_NAILS_LAYOUT re-places one thumbnail.
  static int AnswerLayout(TWindow& window, TNailsFrame& strip, int steps) {
    int answered = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answered < steps && std::chrono::steady_clock::now() < deadline) {
      TMessage message;
      if (!window.Queue().WaitFor(100ms) || !window.Queue().Peek(message)) continue;
      if (message.Msg != UM_NAILS_LAYOUT) continue;
      strip.NailsLayoutStep(static_cast<int>(message.WParam));
      ++answered;
    }
    return answered;
  }

  test::TTempFolder FDir{"kyv_nails_ui"};
};

TEST_F(NailsFrameTest, PlacesThumbnailsOnTheGrid) {
  QWidget form;
  form.resize(400, 300);
  auto* strip = new TNailsFrame(&form);
  strip->setGeometry(0, 237, 346, 63);
  EXPECT_TRUE(strip->isHidden());
  AddAt(*strip, {0, 1, 2, 3, 4});
  EXPECT_FALSE(strip->isHidden());
  ASSERT_NE(strip->Splitter(), nullptr);
  EXPECT_EQ(strip->Splitter()->geometry(), QRect(0, 235, 346, 2));
  EXPECT_EQ(strip->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(strip->Columns(), 4);
  const std::pair<int, int> places[] = {{10, 10}, {84, 10}, {158, 10}, {232, 10}, {10, 97}};
  for (int i = 0; i < 5; ++i) {
    TNail& nail = strip->Nail(i);
    EXPECT_EQ(std::pair(nail.Left(), nail.Top()), places[i]) << i;
    EXPECT_EQ(nail.Index(), i);
    EXPECT_EQ(nail.Outline().geometry(), QRect(nail.Left(), nail.Top(), 64, 64));
    EXPECT_EQ(nail.Image().geometry(), QRect(nail.Left() + 2, nail.Top() + 2, 60, 60));
    EXPECT_EQ(nail.TimeLabel().pos(), QPoint(nail.Left() + 8, nail.Top() + 64));
    const QRect number = nail.NumberLabel().geometry();
    EXPECT_EQ(number.x() + number.width(), nail.Left() + 62);
    EXPECT_EQ(number.y(), nail.Top() + 2);
    EXPECT_EQ(nail.NumberLabel().text(), QString::number(i + 1));
  }
  EXPECT_EQ(strip->Nail(4).Bottom(), 97 + 77);
}

TEST_F(NailsFrameTest, DropsThe121stAndSkipsImagesThatCannotBeRead) {
  TNailsFrame strip;
  EXPECT_FALSE(strip.AddNail(Bad(), 1));
  EXPECT_FALSE(strip.AddNail((FDir / "missing.png").string(), 1));
  EXPECT_EQ(strip.Count(), 0);
  EXPECT_TRUE(strip.isHidden());
  EXPECT_TRUE(strip.AddNail((FDir / "jpeg.bmp").string(), 1));  // told by content
  for (int i = 1; i < 120; ++i) ASSERT_TRUE(strip.AddNail(Png(), i));
  EXPECT_FALSE(strip.AddNail(Png(), 500));
  EXPECT_EQ(strip.Count(), 120);
  strip.ClearNails();
  EXPECT_EQ(strip.Count(), 0);
  EXPECT_FALSE(strip.isHidden());  // not hidden again
}

TEST_F(NailsFrameTest, TimeTextAndSelectionVisuals) {
  TNailsFrame strip;
  strip.show();
  std::vector<int> skips;
  strip.SetOnSkip([&](int seconds) { skips.push_back(seconds); });
  AddAt(strip, {65, 125, 43200, 360000});
  EXPECT_EQ(strip.Nail(0).TimeLabel().text(), "00:01:05");
  EXPECT_EQ(strip.Nail(2).TimeLabel().text(), "12:00:00");
  EXPECT_EQ(strip.Nail(3).TimeLabel().text(), "100:00:00");

  QTest::mouseClick(&strip.Nail(1).Image(), Qt::LeftButton);
  QTest::mouseClick(&strip.Nail(1).Image(), Qt::LeftButton);
  EXPECT_EQ(skips, (std::vector<int>{125, 125}));
  EXPECT_EQ(strip.Selected(), &strip.Nail(1));
  const auto colour = [](QLabel& l) { return l.palette().color(QPalette::WindowText); };
  EXPECT_TRUE(strip.Nail(1).Outline().isVisibleTo(&strip));
  EXPECT_TRUE(strip.Nail(1).TimeLabel().font().bold());
  EXPECT_EQ(colour(strip.Nail(1).TimeLabel()), QColor(0, 255, 0));
  EXPECT_FALSE(strip.Nail(0).Outline().isVisibleTo(&strip));
  EXPECT_FALSE(strip.Nail(0).TimeLabel().font().bold());
  EXPECT_EQ(colour(strip.Nail(0).TimeLabel()), QColor(255, 255, 0));

  QTest::mouseClick(&strip.Nail(0).Image(), Qt::LeftButton);
  EXPECT_FALSE(strip.Nail(1).Outline().isVisibleTo(&strip));
  EXPECT_EQ(colour(strip.Nail(1).TimeLabel()), QColor(255, 255, 0));
  // Without a sink nothing is raised, but the click still selects.
  strip.SetOnSkip({});
  QTest::mouseClick(&strip.Nail(2).Image(), Qt::LeftButton);
  EXPECT_EQ(skips.size(), 3u);
  EXPECT_EQ(strip.Selected(), &strip.Nail(2));
}

TEST_F(NailsFrameTest, SyncToTimeSelectsTheLatestNotAfterAndScrollsItsRowUp) {
  struct {
    std::vector<int> Times;
    int At;
    int Expected;  // -1: none
  } const cases[] = {
      {{0, 60, 120}, 59, 0}, {{0, 60, 120}, 60, 1}, {{0, 60, 120}, 500, 2}, {{10, 60}, 5, -1}};
  for (const auto& c : cases) {
    TNailsFrame strip;
    for (int s : c.Times) ASSERT_TRUE(strip.AddNail(Png(), s));
    strip.SyncToTime(c.At);
    EXPECT_EQ(strip.Selected(), c.Expected < 0 ? nullptr : &strip.Nail(c.Expected)) << c.At;
  }

  TNailsFrame strip;
  strip.resize(346, 68);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(strip.AddNail(Png(), i * 10));
  strip.SyncToTime(85);  // the ninth, on the third row
  EXPECT_EQ(strip.Selected(), &strip.Nail(8));
  EXPECT_EQ(strip.verticalScrollBar()->value(), 10 + 2 * 87 - 10);
  strip.SyncToTime(0);
  EXPECT_EQ(strip.verticalScrollBar()->value(), 0);
}

TEST_F(NailsFrameTest, WidthChangesRePlaceThumbnailsOneByOne) {
  TWindow window;
  TNailsFrame strip;
  strip.SetWindow(window.Handle());
  strip.resize(346, 68);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(strip.AddNail(Png(), i));
  EXPECT_EQ(strip.LayoutThread(), nullptr);

  strip.resize(600, 68);
  EXPECT_EQ(strip.Columns(), 8);
  ASSERT_NE(strip.LayoutThread(), nullptr);
  EXPECT_EQ(AnswerLayout(window, strip, 11), 11);
  EXPECT_EQ(std::pair(strip.Nail(7).Left(), strip.Nail(7).Top()), std::pair(528, 10));
  EXPECT_EQ(std::pair(strip.Nail(8).Left(), strip.Nail(8).Top()), std::pair(10, 97));
  EXPECT_EQ(std::pair(strip.Nail(11).Left(), strip.Nail(11).Top()), std::pair(232, 97));

  strip.resize(600, 100);  // same columns: nothing to do
  strip.resize(60, 68);
  EXPECT_EQ(strip.Columns(), 1);
  EXPECT_EQ(AnswerLayout(window, strip, 11), 11);
  EXPECT_EQ(std::pair(strip.Nail(11).Left(), strip.Nail(11).Top()), std::pair(10, 10 + 11 * 87));
  EXPECT_EQ(strip.LayoutThread()->Steps(), 22u);

  // Indexes the strip does not have are ignored.
  strip.RelayoutOne(0);
  strip.RelayoutOne(12);
  strip.RelayoutOne(-3);
  EXPECT_EQ(std::pair(strip.Nail(0).Left(), strip.Nail(0).Top()), std::pair(10, 10));
}

TEST_F(NailsFrameTest, LoadNailsReadsAFolderThroughTheWindow) {
  TNailsWriter writer(FDir.Path());
  TPixels24 screen(64, 48);
  for (uint32_t t : {0u, 60000u, 120000u}) writer.Add(t, screen);
  writer.Finish();
  TWindow window;
  TNailsFrame strip;
  strip.SetWindow(window.Handle());
  ASSERT_TRUE(strip.AddNail(Png(), 999));
  strip.SyncToTime(1000);
  strip.LoadNails(FDir.Path().string() + "/");
  EXPECT_EQ(strip.Count(), 0);
  EXPECT_EQ(strip.Selected(), nullptr);
  strip.Creator()->WaitFor();
  TMessage message;
  while (window.Queue().Peek(message))
    if (message.Msg == UM_NAIL) strip.NailReceived(message);
  ASSERT_EQ(strip.Count(), 3);
  EXPECT_EQ(strip.Nail(2).Seconds(), 120);
  EXPECT_EQ(strip.Nail(2).TimeLabel().text(), "00:02:00");
}

// The layout thread alone, on the manual clock.
class NailsLayoutTest : public ::testing::Test {
 protected:
  bool Next(TMessage& message) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline)
      if (FWindow.Queue().WaitFor(100ms) && FWindow.Queue().Peek(message)) return true;
    return false;
  }
  TManualClock FClock;
  TWindow FWindow;
  TEvent FEvent;
};

TEST_F(NailsLayoutTest, GivesUpAStepAfterTwoSecondsAndRestartsOnANewerCount) {
  auto layout = TThread::Create<TNailsLayout>(FWindow.Handle(), FEvent);
  ASSERT_TRUE(SafePostThreadMessage(*layout, UM_RELAYOUT, 0));  // ignored
  ASSERT_TRUE(SafePostThreadMessage(*layout, UM_RELAYOUT, 4));
  TMessage m;
  ASSERT_TRUE(Next(m));
  EXPECT_EQ(m.Msg, UM_NAILS_LAYOUT);
  EXPECT_EQ(m.WParam, 1u);
  // Unanswered, the step is passed over once the clock reaches 2000 ms.
  FClock.Advance(1999);
  EXPECT_EQ(FWindow.Queue().Count(), 0u);
  FClock.Advance(1);
  ASSERT_TRUE(Next(m));
  EXPECT_EQ(m.WParam, 2u);
  // A newer count arriving meanwhile starts again at 1.
  ASSERT_TRUE(SafePostThreadMessage(*layout, UM_RELAYOUT, 3));
  FEvent.Set();
  ASSERT_TRUE(Next(m));
  EXPECT_EQ(m.WParam, 1u);
  // Any other request during a pass ends the thread.
  ASSERT_TRUE(SafePostThreadMessage(*layout, UM_STOP));
  FEvent.Set();
  EXPECT_TRUE(layout->WaitFor(10s));
  EXPECT_EQ(layout->Steps(), 3u);
  EXPECT_FALSE(FWindow.Queue().Peek(m));
}

}  // namespace
}  // namespace kyv
