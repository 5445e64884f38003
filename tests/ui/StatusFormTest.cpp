// The statistics window offscreen: its components where they belong in both languages, its timer
// only while shown, and its figures from a real recording played to the end.
#include "ui/StatusForm.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <string>

#include "com/ComPtr.h"
#include "control/KyvPlayerObject.h"
#include "control/PlayerCore.h"
#include "support/SmallSample.h"
#include "support/TempFolder.h"
#include "ui/KyvPlayerCtrl.h"
#include "ui/QtControlForm.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

struct TComponentCase {
  const char* Name;
  const char* Group;  // the group box that holds it
  QRect Place;        // a label's size is its text's, so only its corner is checked
  const char* Chinese;
  const char* English;
};

const TComponentCase kComponents[] = {
    {"gbBuffer", "frmStatus", {16, 12, 345, 165}, "缓冲状态", "Buffer status"},
    {"GroupBox1", "frmStatus", {16, 183, 345, 80}, "媒体信息", "媒体信息"},
    {"btnClose", "frmStatus", {156, 278, 75, 20}, "关闭", "Close"},
    {"labFrom2", "gbBuffer", {21, 22, 0, 0}, "开始时间：", "Start:"},
    {"labFrom", "gbBuffer", {85, 22, 0, 0}, "00:00:00", "00:00:00"},
    {"Label1", "gbBuffer", {20, 46, 0, 0}, "当前时间：", "当前时间："},
    {"labCurrentPosition", "gbBuffer", {84, 46, 0, 0}, "00:00:00", "00:00:00"},
    {"labTo2", "gbBuffer", {21, 69, 0, 0}, "结束时间：", "Stop:"},
    {"labTo", "gbBuffer", {85, 69, 0, 0}, "00:00:00", "00:00:00"},
    {"labFrames2", "gbBuffer", {21, 92, 0, 0}, "帧        数：", "Frames:"},
    {"labFrames", "gbBuffer", {85, 92, 0, 0}, "0", "0"},
    {"labBytes2", "gbBuffer", {21, 115, 0, 0}, "字        节：", "Bytes:"},
    {"labBytes", "gbBuffer", {85, 115, 0, 0}, "0K", "0K"},
    {"labBPS2", "gbBuffer", {21, 136, 0, 0}, "当前速度：", "Speed:"},
    {"labBPS", "gbBuffer", {85, 136, 0, 0}, "0 kbps", "0 kbps"},
    {"labDuration2", "GroupBox1", {21, 22, 0, 0}, "长        度：", "Length:"},
    {"labDuration", "GroupBox1", {84, 22, 0, 0}, "00:00:00", "00:00:00"},
    {"labSize2", "GroupBox1", {21, 45, 0, 0}, "屏幕大小：", "Size:"},
    {"labSize", "GroupBox1", {84, 45, 0, 0}, "0 x 0", "0 x 0"},
};

QString CaptionOf(const QWidget& Widget) {
  return Widget.property(qobject_cast<const QGroupBox*>(&Widget) ? "title" : "text").toString();
}

std::string Text(const TfrmStatus& Form, const char* Name) {
  return Form.findChild<QLabel*>(Name)->text().toStdString();
}

TEST(StatusForm, ComponentsSitAtTheirPlacesWithTheCaptionsOfEachLanguage) {
  for (const uint16_t lang : {kLangChinesePrc, kLangEnglishUs}) {
    const bool chinese = lang == kLangChinesePrc;
    TfrmStatus form(nullptr, lang);
    EXPECT_EQ(form.size(), QSize(381, 312));
    EXPECT_EQ(form.windowTitle(), chinese ? "统计信息" : "Statistic");
    for (const TComponentCase& c : kComponents) {
      const auto* widget = form.findChild<QWidget*>(c.Name);
      ASSERT_NE(widget, nullptr) << c.Name;
      EXPECT_EQ(widget->parentWidget()->objectName(), c.Group) << c.Name;
      EXPECT_EQ(widget->pos(), c.Place.topLeft()) << c.Name;
      if (!c.Place.size().isNull()) {
        EXPECT_EQ(widget->size(), c.Place.size()) << c.Name;
      }
      EXPECT_EQ(CaptionOf(*widget), QString::fromUtf8(chinese ? c.Chinese : c.English))
          << c.Name << " in " << lang;
    }
    EXPECT_TRUE(form.findChild<QPushButton*>("btnClose")->isDefault());
    EXPECT_EQ(form.RefreshTimer().interval(), 1000);
    EXPECT_FALSE(form.RefreshTimer().isActive());
  }
}

// The control's menu item makes the window once, over the control and reading its source; the
// timer runs only while it is shown, however it was closed. The about box is modal.
TEST(StatusForm, TheControlsMenuShowsOneWindowCentredOverItRefreshingOnlyWhileShown) {
  test::TTempFolder folder("kyv_status_menu");
  const auto object =
      com::MakeCom<TKyvPlayerObject>((folder.Path() / "cache").string(), &TQtControlForm::Make);
  TKyvPlayerCtrl& ctrl = *static_cast<TQtControlForm&>(object->Form()).Ctrl();
  ctrl.move(100, 50);
  ctrl.show();
  const auto click = [&](const char* Item) { ctrl.findChild<QAction*>(Item)->trigger(); };
  click("miStatus");
  auto* form = static_cast<TfrmStatus*>(ctrl.findChild<QDialog*>("frmStatus"));
  ASSERT_NE(form, nullptr);
  const auto expectShownCentred = [&] {
    const QPoint offset = form->frameGeometry().center() - ctrl.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->RefreshTimer().isActive());
  };
  expectShownCentred();
  EXPECT_EQ(form->Context(), &object->Control().Core());

  form->findChild<QPushButton*>("btnClose")->click();
  EXPECT_FALSE(form->RefreshTimer().isActive());
  ctrl.resize(800, 700);
  click("miStatus");
  expectShownCentred();
  EXPECT_EQ(ctrl.findChildren<QDialog*>("frmStatus").size(), 1);
  QTest::keyClick(form, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->RefreshTimer().isActive());

  QString modal;
  QTimer::singleShot(0, [&] {  // runs inside the about box's modal loop
    modal = QApplication::activeModalWidget()->objectName();
    QApplication::activeModalWidget()->close();
  });
  click("miAbout");
  EXPECT_EQ(modal, "frmAbout");
}

// The sample played to the end is held whole, so the figures are the file's own.
TEST(StatusForm, ShowsTheFiguresOfARecordingPlayedToTheEnd) {
  test::TTempFolder folder("kyv_status");
  const auto path = folder.Path() / "sample.kyv";
  const TSampleSummary sample = WriteSampleRecording(path, test::SmallSample(4));

  QWidget control;
  control.resize(495, 410);
  TPlayerCore core;
  int ends = 0;
  TPlayerCore::TEvents events;
  events.End = [&] { ++ends; };
  core.SetEvents(events);
  TfrmStatus form(nullptr, kLangEnglishUs);
  form.ShowIn(control, core);

  core.Open(path.string());
  form.timRefreshTimer();  // still opening: no play thread, no figures of the source
  EXPECT_EQ(Text(form, "labBPS"), "0 kbps");
  ASSERT_TRUE(core.Pump(30s, [&] { return core.Phase() == spReady; }));
  core.Player()->RequestPlay();
  for (int i = 0; i < 5; ++i) core.Player()->RequestFastForward();
  ASSERT_TRUE(core.Pump(60s, [&] { return ends > 0; }));

  form.timRefreshTimer();
  const uint64_t held = sample.Frames * 28 + sample.PayloadBytes;
  EXPECT_EQ(Text(form, "labFrom"), "00:00:00");
  EXPECT_EQ(Text(form, "labTo"), "00:00:04");
  // Settled at the end, but fast forward may carry it past the last frame.
  const uint32_t position = core.Player()->CurrentTime();
  EXPECT_GE(position, 4000u);
  EXPECT_EQ(Text(form, "labCurrentPosition"), StatusTimeText(position));
  EXPECT_EQ(Text(form, "labFrames"), std::to_string(sample.Frames));
  EXPECT_EQ(Text(form, "labBytes"), std::to_string(held >> 10) + "K");
  EXPECT_NE(Text(form, "labBPS"), "0 Kbps");  // the whole file came in since the reader began
  EXPECT_EQ(Text(form, "labDuration"), "00:00:04");
  EXPECT_EQ(Text(form, "labSize"), "160 x 120");

  form.timRefreshTimer();  // the first reading started a new interval, with nothing received
  EXPECT_EQ(Text(form, "labBPS"), "0 Kbps");

  core.Close();
  form.timRefreshTimer();
  EXPECT_EQ(Text(form, "labFrames"), std::to_string(sample.Frames));  // kept
  EXPECT_EQ(Text(form, "labDuration"), "00:00:00");
  EXPECT_EQ(Text(form, "labSize"), "0 x 0");
}

}  // namespace
}  // namespace kyv
