#include "ui/NailsFrame.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

#include "context/UserMessages.h"
#include "nails/NailRecord.h"

namespace kyv {
namespace {

// The 2-pixel bar above the strip: dragging it changes the strip's height, its bottom edge
// staying where it is.
class TSplitterBar : public QWidget {
 public:
  static constexpr int kHeight = 2;

  TSplitterBar(QWidget& Strip, QWidget* Parent) : QWidget(Parent), FStrip(Strip) {
    setCursor(Qt::SplitVCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
  }

 protected:
  void mousePressEvent(QMouseEvent* Event) override {
    FGrab = Event->globalPosition().toPoint().y();
  }
  void mouseMoveEvent(QMouseEvent* Event) override {
    if (!(Event->buttons() & Qt::LeftButton)) return;
    const int y = Event->globalPosition().toPoint().y();
    const int height = std::max(0, FStrip.height() - (y - FGrab));
    FGrab = y;
    FStrip.setGeometry(FStrip.x(), FStrip.y() + FStrip.height() - height, FStrip.width(), height);
  }

 private:
  QWidget& FStrip;
  int FGrab = 0;
};

}  // namespace

TNailsFrame::TNailsFrame(QWidget* Parent) : QScrollArea(Parent), FCanvas(new QWidget) {
  setObjectName("frmNails");
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidget(FCanvas);
  FCanvas->setAutoFillBackground(true);
  SetBackground(0);
  resize(346, 68);
  hide();
}

TNailsFrame::~TNailsFrame() {
  FCreator.reset();
  ClearNails();
  FLayout.reset();
}

void TNailsFrame::SetBackground(uint32_t Colour) {
  QPalette palette = FCanvas->palette();
  palette.setColor(QPalette::Window, QColor(Colour & 0xFF, (Colour >> 8) & 0xFF, Colour >> 16));
  FCanvas->setPalette(palette);
}

void TNailsFrame::LoadNails(const std::string& Dir) {
  FCreator.reset();
  FSelected = nullptr;
  ClearNails();
  FCreator = TThread::Create<TNailsCreator>(Dir, FWnd);
}

void TNailsFrame::NailReceived(const TMessage& Message) {
  const std::unique_ptr<TNailRecord> record = TakeNailRecord(Message);
  if (record) AddNail(NailPath(*record), record->Seconds);
}

int TNailsFrame::ColumnsForWidth() const noexcept {
  return std::max(1, width() / (TNail::kWidth + kSpacing));
}

bool TNailsFrame::AddNail(const std::string& Path, int Seconds) {
  if (FCount >= kMaxNails) return false;
  auto nail = std::make_unique<TNail>(*FCanvas, [this](TNail& n) { NailClick(n); });
  // Read first, so that an image that cannot be read leaves the strip as it was.
  if (!nail->LoadPicture(Path)) return false;
  if (isHidden()) {
    show();
    if (parentWidget() != nullptr) {
      FSplitter = std::make_unique<TSplitterBar>(*this, parentWidget());
      PlaceSplitter();
      FSplitter->show();
    }
  }
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  nail->SetTime(Seconds);
  FColumns = ColumnsForWidth();
  if (FCount > 0) PlaceAfter(*nail, *FNails[FCount - 1], FCount);
  nail->SetIndex(FCount);
  nail->Refresh();
  FNails[FCount++] = std::move(nail);
  UpdateCanvasSize();
  return true;
}

void TNailsFrame::PlaceAfter(TNail& Nail, const TNail& Previous, int Index) {
  if (Index % FColumns != 0) {
    Nail.SetLeft(Previous.Right() + kSpacing);
    Nail.SetTop(Previous.Top());
  } else {
    Nail.SetLeft(FNails[0]->Left());
    Nail.SetTop(Previous.Bottom() + kSpacing);
  }
}

void TNailsFrame::ClearNails() {
  FSelected = nullptr;
  for (int i = FCount - 1; i >= 0; --i) FNails[i].reset();
  FCount = 0;
  UpdateCanvasSize();
}

void TNailsFrame::SyncToTime(int Seconds) {
  int found = FCount - 1;
  while (found >= 0 && FNails[found]->Seconds() > Seconds) --found;
  if (found < 0) return;
  TNail& nail = *FNails[found];
  if (FSelected == &nail) return;
  if (FSelected != nullptr) {
    FSelected->SetSelected(false);
    FSelected->Refresh();
  }
  nail.SetSelected(true);
  nail.Refresh();
  FSelected = &nail;
  // The row comes to the top: its top in view coordinates becomes 10.
  QScrollBar& bar = *verticalScrollBar();
  if (nail.Top() - bar.value() != kSpacing) bar.setValue(nail.Top() - kSpacing);
}

void TNailsFrame::RelayoutOne(int Index) {
  if (Index < 1 || Index >= FCount) return;
  PlaceAfter(*FNails[Index], *FNails[Index - 1], Index);
  UpdateCanvasSize();
}

void TNailsFrame::NailsLayoutStep(int Index) {
  RelayoutOne(Index);
  FLayoutEvent.Set();
}

void TNailsFrame::NailClick(TNail& Nail) {
  if (FSelected != nullptr) {
    FSelected->SetSelected(false);
    FSelected->Refresh();
  }
  FSelected = &Nail;
  Nail.SetSelected(true);
  Nail.Refresh();
  if (FOnSkip) FOnSkip(Nail.Seconds());
}

void TNailsFrame::UpdateCanvasSize() {
  int bottom = 0;
  for (int i = 0; i < FCount; ++i) bottom = std::max(bottom, FNails[i]->Bottom());
  FCanvas->resize(viewport()->width(), std::max(viewport()->height(), bottom + kSpacing));
}

void TNailsFrame::PlaceSplitter() {
  if (FSplitter)
    FSplitter->setGeometry(x(), y() - TSplitterBar::kHeight, width(), TSplitterBar::kHeight);
}

void TNailsFrame::RequestRelayout() {
  if (!FLayout) FLayout = TThread::Create<TNailsLayout>(FWnd, FLayoutEvent);
  // A layout thread that has ended (another request reached it) is replaced once.
  if (!SafePostThreadMessage(*FLayout, UM_RELAYOUT, static_cast<WPARAM>(FCount))) {
    FLayout = TThread::Create<TNailsLayout>(FWnd, FLayoutEvent);
    SafePostThreadMessage(*FLayout, UM_RELAYOUT, static_cast<WPARAM>(FCount));
  }
}

void TNailsFrame::resizeEvent(QResizeEvent* Event) {
  QScrollArea::resizeEvent(Event);
  PlaceSplitter();
  UpdateCanvasSize();
  if (FCount == 0) return;
  const int columns = ColumnsForWidth();
  if (columns == FColumns) return;
  FColumns = columns;
  RequestRelayout();
}

void TNailsFrame::moveEvent(QMoveEvent* Event) {
  QScrollArea::moveEvent(Event);
  PlaceSplitter();
}

}  // namespace kyv
