#include "ui/Nail.h"

#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "platform/FormatSeconds.h"

namespace kyv {
namespace {

const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);

class TOutline : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(kGreen, 2));
    painter.drawRect(QRectF(1, 1, width() - 2, height() - 2));
  }
};

class TNailImage : public QLabel {
 public:
  TNailImage(QWidget* Parent, std::function<void()> OnClick)
      : QLabel(Parent), FOnClick(std::move(OnClick)) {
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  // Taken, so that the release comes back here.
  void mousePressEvent(QMouseEvent* Event) override { Event->accept(); }
  void mouseReleaseEvent(QMouseEvent* Event) override {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
      FOnClick();
  }

 private:
  std::function<void()> FOnClick;
};

void SetTextColour(QLabel& label, const QColor& colour) {
  QPalette palette = label.palette();
  palette.setColor(QPalette::WindowText, colour);
  label.setPalette(palette);
}

}  // namespace

TNail::TNail(QWidget& Strip, std::function<void(TNail&)> OnClick)
    : FOutline(std::make_unique<TOutline>(&Strip)),
      FImage(std::make_unique<TNailImage>(&Strip, [this, OnClick] { OnClick(*this); })),
      FTimeLabel(std::make_unique<QLabel>(&Strip)),
      FNumberLabel(std::make_unique<QLabel>(&Strip)) {
  FOutline->hide();
  FImage->hide();
  FTimeLabel->hide();
  FNumberLabel->hide();
  QFont font = FTimeLabel->font();
  font.setPointSize(8);
  FTimeLabel->setFont(font);
  FNumberLabel->setFont(font);
  FTimeLabel->setText("00:00:00");
  FNumberLabel->setAutoFillBackground(true);
  QPalette palette = FNumberLabel->palette();
  palette.setColor(QPalette::Window, Qt::black);
  palette.setColor(QPalette::WindowText, kYellow);
  FNumberLabel->setPalette(palette);
  Place();
}

TNail::~TNail() = default;

bool TNail::LoadPicture(const std::string& Path) {
  QImageReader reader(QString::fromStdString(Path));
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull()) return false;
  FImage->setPixmap(QPixmap::fromImage(image));
  FFileName = Path;
  return true;
}

void TNail::SetTime(int Seconds) {
  FSeconds = Seconds;
  FTimeLabel->setText(
      QString::fromStdString(FormatSeconds(static_cast<uint32_t>(std::max(Seconds, 0)))));
  Place();
}

void TNail::SetLeft(int Left) {
  FLeft = Left;
  Place();
}

void TNail::SetTop(int Top) {
  FTop = Top;
  Place();
}

void TNail::Place() {
  FOutline->setGeometry(FLeft, FTop, kOutlineSize, kOutlineSize);
  FImage->setGeometry(FLeft + 2, FTop + 2, kImageSize, kImageSize);
  FTimeLabel->setGeometry(FLeft + 8, FTop + kOutlineSize, FTimeLabel->sizeHint().width(),
                          kTimeHeight);
  FNumberLabel->adjustSize();
  FNumberLabel->move(FImage->x() + kImageSize - FNumberLabel->width(), FImage->y());
}

void TNail::Refresh() {
  FImage->show();
  FNumberLabel->setText(QString::number(FIndex + 1));
  Place();
  FNumberLabel->show();
  FNumberLabel->raise();
  FOutline->setVisible(FIsSelected);
  QFont font = FTimeLabel->font();
  font.setBold(FIsSelected);
  FTimeLabel->setFont(font);
  SetTextColour(*FTimeLabel, FIsSelected ? kGreen : kYellow);
  Place();  // a bold time is wider
  FTimeLabel->show();
}

}  // namespace kyv
