#include "ui/StatusForm.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "control/PlayerCore.h"

namespace kyv {
namespace {

struct TLabelPlace {
  QLabel* TfrmStatus::*Field;  // null for a caption that nothing refreshes
  const char* Name;
  bool InMedia;  // in GroupBox1, else in gbBuffer
  int Left, Top;
  const char* Stored;
  const char* English;  // null: kept in every language
};

}  // namespace

// Members of the window are named after its components, so the table refers to them directly.
struct TStatusFormLayout {
  static constexpr TLabelPlace kLabels[] = {
      {nullptr, "labFrom2", false, 21, 22, "开始时间：", "Start:"},
      {&TfrmStatus::labFrom, "labFrom", false, 85, 22, "00:00:00", nullptr},
      {nullptr, "Label1", false, 20, 46, "当前时间：", nullptr},
      {&TfrmStatus::labCurrentPosition, "labCurrentPosition", false, 84, 46, "00:00:00", nullptr},
      {nullptr, "labTo2", false, 21, 69, "结束时间：", "Stop:"},
      {&TfrmStatus::labTo, "labTo", false, 85, 69, "00:00:00", nullptr},
      {nullptr, "labFrames2", false, 21, 92, "帧        数：", "Frames:"},
      {&TfrmStatus::labFrames, "labFrames", false, 85, 92, "0", nullptr},
      {nullptr, "labBytes2", false, 21, 115, "字        节：", "Bytes:"},
      {&TfrmStatus::labBytes, "labBytes", false, 85, 115, "0K", nullptr},
      {nullptr, "labBPS2", false, 21, 136, "当前速度：", "Speed:"},
      {&TfrmStatus::labBPS, "labBPS", false, 85, 136, "0 kbps", nullptr},
      {nullptr, "labDuration2", true, 21, 22, "长        度：", "Length:"},
      {&TfrmStatus::labDuration, "labDuration", true, 84, 22, "00:00:00", nullptr},
      {nullptr, "labSize2", true, 21, 45, "屏幕大小：", "Size:"},
      {&TfrmStatus::labSize, "labSize", true, 84, 45, "0 x 0", nullptr},
  };
};

TfrmStatus::TfrmStatus(QWidget* Parent, uint16_t LangId)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      gbBuffer(new QGroupBox(this)),
      GroupBox1(new QGroupBox(this)),
      btnClose(new QPushButton(this)) {
  const bool english = LangId != kLangChinesePrc;
  const auto caption = [english](const char* Stored, const char* English) {
    return QString::fromUtf8(english && English != nullptr ? English : Stored);
  };
  setObjectName("frmStatus");
  setWindowTitle(caption("统计信息", "Statistic"));
  setFixedSize(381, 312);
  QFont font("Arial");
  font.setPixelSize(12);
  setFont(font);
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  gbBuffer->setObjectName("gbBuffer");
  gbBuffer->setGeometry(16, 12, 345, 165);
  gbBuffer->setTitle(caption("缓冲状态", "Buffer status"));
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(16, 183, 345, 80);
  GroupBox1->setTitle(caption("媒体信息", nullptr));

  for (const TLabelPlace& place : TStatusFormLayout::kLabels) {
    auto* label =
        new QLabel(caption(place.Stored, place.English), place.InMedia ? GroupBox1 : gbBuffer);
    label->setObjectName(place.Name);
    label->move(place.Left, place.Top);
    label->adjustSize();
    if (place.Field != nullptr) this->*place.Field = label;
  }

  btnClose->setObjectName("btnClose");
  btnClose->setGeometry(156, 278, 75, 20);
  btnClose->setText(caption("关闭", "Close"));
  btnClose->setDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

  timRefresh.setObjectName("timRefresh");
  timRefresh.setInterval(1000);
  connect(&timRefresh, &QTimer::timeout, this, &TfrmStatus::timRefreshTimer);
}

TfrmStatus::~TfrmStatus() = default;

void TfrmStatus::ShowIn(QWidget& Control, TPlayerCore& Core) {
  FContext = &Core;
  if (parentWidget() != &Control) setParent(&Control, windowFlags());
  // Centred as a whole, frame included; the frame's size is known only once it has been shown.
  const auto centre = [this, &Control] {
    const QSize size = frameGeometry().size();
    const QPoint origin = Control.mapToGlobal(QPoint(0, 0));
    move(origin.x() + (Control.width() - size.width()) / 2,
         origin.y() + (Control.height() - size.height()) / 2);
    return size;
  };
  const QSize placed = centre();
  show();
  if (frameGeometry().size() != placed) centre();
  raise();
  activateWindow();
}

void TfrmStatus::timRefreshTimer() {
  if (FContext != nullptr) Apply(StatusTextsOf(ReadStatusSnapshot(*FContext)));
}

void TfrmStatus::Apply(const TStatusTexts& Texts) {
  const auto put = [](QLabel* Label, const std::string& Text) {
    Label->setText(QString::fromStdString(Text));
    Label->adjustSize();
  };
  if (Texts.HasSource) {
    put(labFrom, Texts.From);
    put(labTo, Texts.To);
    put(labCurrentPosition, Texts.CurrentPosition);
    put(labFrames, Texts.Frames);
    put(labBytes, Texts.Bytes);
    put(labBPS, Texts.BPS);
  }
  put(labDuration, Texts.Duration);
  put(labSize, Texts.Size);
}

void TfrmStatus::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  timRefresh.start();
}

// Every way of closing (the button, the close box, Escape) ends in a hide.
void TfrmStatus::hideEvent(QHideEvent* Event) {
  timRefresh.stop();
  QDialog::hideEvent(Event);
}

}  // namespace kyv
