#include "ui/DetailFrame.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

namespace kyv {
namespace {

// The area behind the picture; its pointer events are reported in the frame's coordinates.
class TDetailCanvas : public QWidget {
 public:
  TDetailCanvas(const TPointerEvents& Events, const QWidget& Frame, QWidget* Parent)
      : QWidget(Parent), FRelay(Events, *this, &Frame) {
    setMouseTracking(true);
    setAutoFillBackground(true);
  }

 protected:
  void mousePressEvent(QMouseEvent* Event) override { FRelay.Press(*Event); }
  void mouseMoveEvent(QMouseEvent* Event) override { FRelay.Move(*Event); }
  void mouseReleaseEvent(QMouseEvent* Event) override { FRelay.Release(*Event); }

 private:
  TPointerRelay FRelay;
};

QColor ColourOf(uint32_t Colour) {
  return QColor(Colour & 0xFF, (Colour >> 8) & 0xFF, (Colour >> 16) & 0xFF);
}

}  // namespace

TDetailFrame::TDetailFrame(QWidget* Parent)
    : QScrollArea(Parent),
      FCanvas(new TDetailCanvas(FPointer, *this, nullptr)),
      FPicture(new TPictureWidget(FPointer, FCanvas)) {
  setObjectName("frmDetail");
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalScrollBar()->setSingleStep(27);
  setWidget(FCanvas);
  viewport()->setAutoFillBackground(true);
  SetBackground(0x00FFFFFF);
  resize(343, 258);
}

TDetailFrame::~TDetailFrame() = default;

void TDetailFrame::SetBackground(uint32_t Colour) {
  QPalette palette = FCanvas->palette();
  palette.setColor(QPalette::Window, ColourOf(Colour));
  FCanvas->setPalette(palette);
  // The viewport shows wherever the canvas does not reach (before any recording's layout).
  viewport()->setPalette(palette);
}

void TDetailFrame::SetScreen(const TPlayContext& Context, TDisplayMode Mode) {
  SetScreen(Context.Header.Width, Context.Header.Height, Mode);
}

void TDetailFrame::SetScreen(int ScreenWidth, int ScreenHeight, TDisplayMode Mode) {
  FScreenWidth = ScreenWidth;
  FScreenHeight = ScreenHeight;
  FMode = Mode;
  LayoutPicture();
}

void TDetailFrame::LayoutPicture() {
  if (!kyv::LayoutPicture(width(), height(), FScreenWidth, FScreenHeight, FMode, FLayout)) return;
  if (FMode != dmFull) {
    const auto policy = [](bool shown) {
      return shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    };
    setHorizontalScrollBarPolicy(policy(FLayout.HorzScrollBar));
    setVerticalScrollBarPolicy(policy(FLayout.VertScrollBar));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    FPicture->setGeometry(FLayout.Left, FLayout.Top, FLayout.Width, FLayout.Height);
  }
  const QSize view = viewport()->size();
  FCanvas->resize(std::max(view.width(), FPicture->x() + FPicture->width()),
                  std::max(view.height(), FPicture->y() + FPicture->height()));
  FPicture->RecreateBitmap(kBlankPictureColour);
}

void TDetailFrame::RepaintRect(TBackBuffer& Buffer, const TRect& Changed) {
  const TRect shown = FRepainter.RepaintRect(Buffer, FPicture->Bitmap(), Changed, FMode, Zoom());
  if (!shown.IsEmpty()) FPicture->update(shown.Left, shown.Top, shown.Width(), shown.Height());
}

void TDetailFrame::resizeEvent(QResizeEvent* Event) {
  QScrollArea::resizeEvent(Event);
  LayoutPicture();
  if (FOnLayout) FOnLayout();
}

}  // namespace kyv
