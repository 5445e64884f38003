#include "ui/PictureWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "context/UserMessages.h"

namespace kyv {

TPictureWidget::TPictureWidget(const TPointerEvents& Events, QWidget* Parent)
    : QWidget(Parent), FRelay(Events, *this) {
  setObjectName("imgPic");
  setMouseTracking(true);
  // Every pixel comes from the bitmap: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPictureWidget::RecreateBitmap(uint32_t Colour) {
  if (width() <= 0 || height() <= 0) {
    FBitmap = TDib();
    return;
  }
  FBitmap = TDib(width(), height());
  FBitmap.Fill(Colour);
  update();
}

void TPictureWidget::paintEvent(QPaintEvent* Event) {
  if (FBitmap.IsEmpty()) return;
  // The image only wraps the bitmap's rows; drawing converts the asked-for part alone.
  const QImage image(FBitmap.Bits(), FBitmap.Width(), FBitmap.Height(), FBitmap.Stride(),
                     QImage::Format_BGR888);
  QPainter painter(this);
  for (const QRect& r : Event->region()) painter.drawImage(r.topLeft(), image, r);
}

void TPictureWidget::mousePressEvent(QMouseEvent* Event) {
  FRelay.Press(*Event);
}
void TPictureWidget::mouseMoveEvent(QMouseEvent* Event) {
  FRelay.Move(*Event);
}
void TPictureWidget::mouseReleaseEvent(QMouseEvent* Event) {
  FRelay.Release(*Event);
}

void TPictureWidget::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) PostMessage(FWnd, UM_ENTER_FULLSCREEN, 0, 0);
  FRelay.Press(*Event);
}

}  // namespace kyv
