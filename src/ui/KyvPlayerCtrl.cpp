#include "ui/KyvPlayerCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <algorithm>

#include "control/KyvPlayerEvents.h"
#include "control/PlayerControl.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "ui/AboutBox.h"
#include "ui/DetailFrame.h"
#include "ui/FullScreenForm.h"
#include "ui/NailsFrame.h"
#include "ui/OwnerHold.h"
#include "ui/StatusForm.h"

namespace kyv {
namespace {

constexpr OLE_COLOR kSystemColour = 0x80000000;
constexpr OLE_COLOR kButtonFace = kSystemColour | 15;

// A colour value, or a system colour by its number, as the toolkit's palette gives it.
QColor ColourOf(OLE_COLOR Value) {
  if ((Value & kSystemColour) == 0)
    return QColor(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF);
  QPalette::ColorRole role = QPalette::Button;
  switch (Value & 0xFF) {
    case 5:  // window
      role = QPalette::Base;
      break;
    case 8:  // window text
      role = QPalette::WindowText;
      break;
    case 13:  // highlight
      role = QPalette::Highlight;
      break;
    case 18:  // button text
      role = QPalette::ButtonText;
      break;
    default:
      break;
  }
  return QApplication::palette().color(role);
}

// The standard cursors by their numbers (0 the default, -1 none, down to -22 size all).
Qt::CursorShape ShapeOf(int16_t Number) {
  static constexpr Qt::CursorShape kShapes[] = {
      Qt::ArrowCursor,     Qt::BlankCursor,        Qt::ArrowCursor,     Qt::CrossCursor,
      Qt::IBeamCursor,     Qt::SizeAllCursor,      Qt::SizeBDiagCursor, Qt::SizeVerCursor,
      Qt::SizeFDiagCursor, Qt::SizeHorCursor,      Qt::UpArrowCursor,   Qt::WaitCursor,
      Qt::DragMoveCursor,  Qt::ForbiddenCursor,    Qt::SplitHCursor,    Qt::SplitVCursor,
      Qt::DragCopyCursor,  Qt::WaitCursor,         Qt::ForbiddenCursor, Qt::BusyCursor,
      Qt::WhatsThisCursor, Qt::PointingHandCursor, Qt::SizeAllCursor};
  const int index = -Number;
  return index >= 0 && index < static_cast<int>(std::size(kShapes)) ? kShapes[index]
                                                                    : Qt::ArrowCursor;
}

// The toolkit's key for a character the host put in place of the one typed.
int KeyOf(char16_t Character) {
  switch (Character) {
    case 8:
      return Qt::Key_Backspace;
    case 9:
      return Qt::Key_Tab;
    case 13:
      return Qt::Key_Return;
    case 27:
      return Qt::Key_Escape;
    default:
      return Character >= 0x20 ? static_cast<int>(QChar(Character).toUpper().unicode())
                               : static_cast<int>(Qt::Key_unknown);
  }
}

}  // namespace

TKyvPlayerCtrl::TKyvPlayerCtrl(TPlayerControl& Control, const TKyvPlayerEvents& Events,
                               QWidget* Parent)
    : QWidget(Parent),
      FControl(Control),
      FEvents(Events),
      FDetail(new TDetailFrame(this)),
      FNails(new TNailsFrame(this)) {
  setObjectName("KyvPlayerCtrl");
  setWindowTitle(QStringLiteral("Kavrindel KyvPlayer"));
  setAutoFillBackground(true);
  SetColor(kButtonFace);
  resize(kDesignWidth, kDesignHeight);
  setFocusPolicy(Qt::StrongFocus);

  const HWND window = FControl.Window();
  FDetail->SetWindow(window);
  FDetail->Picture().hide();
  FDetail->SetOnLayout([this] { RefreshPicture(); });
  TPointerEvents& pointer = FDetail->PointerEvents();
  pointer.MouseDown = [this](int Button, int X, int Y) {
    const TOwnerHold hold(FOwner);
    FEvents.OnMouseDown(Button, X, Y);
  };
  pointer.MouseMove = [this](int X, int Y) {
    const TOwnerHold hold(FOwner);
    FEvents.OnMouseMove(X, Y);
  };
  pointer.MouseUp = [this](int Button, int X, int Y) {
    const TOwnerHold hold(FOwner);
    FEvents.OnMouseUp(Button, X, Y);
  };
  pointer.Click = [this] {
    const TOwnerHold hold(FOwner);
    FEvents.OnClick();
  };
  setFocusProxy(FDetail);

  FNails->SetWindow(window);
  FNails->SetOnSkip([this](int Seconds) {
    const TOwnerHold hold(FOwner);
    FEvents.OnSkip(Seconds);
  });
  FNails->resize(kDesignWidth, kNailsHeight);

  MakeMenu();
  LayoutViews();
  // The application's filter sees the keys on their way to any widget of the form, and the
  // strip's changes of size and visibility.
  QCoreApplication::instance()->installEventFilter(this);
  FEvents.OnCreate();
}

TKyvPlayerCtrl::~TKyvPlayerCtrl() {
  FreeFullScreen();
  if (OnDestroying) OnDestroying();
}

QWidget& TKyvPlayerCtrl::imgPic() noexcept {
  return FDetail->Picture();
}

void TKyvPlayerCtrl::MakeMenu() {
  FMenu = new QMenu(this);
  FMenu->setObjectName("pmKyv");
  QMenu* modes = FMenu->addMenu(QString());
  modes->menuAction()->setObjectName("miDisplayMode");
  const bool chinese = SystemDefaultLangID() == kLangChinesePrc;
  modes->menuAction()->setText(chinese ? QString::fromUtf8("显示模式") : "Display Mode");
  connect(modes, &QMenu::aboutToShow, this, &TKyvPlayerCtrl::miDisplayModeClick);
  FFull = AddItem(*modes, "miFull", "全屏幕(双击鼠标左键)", "Full screen (Double Click)",
                  &TKyvPlayerCtrl::miFullClick);
  FOriginal =
      AddItem(*modes, "miOriginal", "实际大小", "Original size", &TKyvPlayerCtrl::miOriginalClick);
  FAdaptive =
      AddItem(*modes, "miAdaptive", "自适应", "Full of window", &TKyvPlayerCtrl::miAdaptiveClick);
  for (QAction* item : {FFull, FOriginal, FAdaptive}) item->setCheckable(true);
  FMenu->addSeparator()->setObjectName("miLine2");
  AddItem(*FMenu, "miStatus", "统计信息", "Statistic", &TKyvPlayerCtrl::miStatusClick);
  FMenu->addSeparator()->setObjectName("miLine");
  AddItem(*FMenu, "miAbout", "关于", "About", &TKyvPlayerCtrl::miAboutClick);
  miDisplayModeClick();
}

QAction* TKyvPlayerCtrl::AddItem(QMenu& Menu, const char* Name, const char* Stored,
                                 const char* English, void (TKyvPlayerCtrl::*Handler)()) {
  const bool chinese = SystemDefaultLangID() == kLangChinesePrc;
  QAction* item = Menu.addAction(chinese ? QString::fromUtf8(Stored) : QString::fromUtf8(English));
  item->setObjectName(Name);
  connect(item, &QAction::triggered, this, [this, Handler] {
    const TOwnerHold hold(FOwner);
    (this->*Handler)();
  });
  return item;
}

// The menu.

void TKyvPlayerCtrl::miDisplayModeClick() {
  const TDisplayMode mode = FControl.DisplayMode();
  FFull->setChecked(mode == dmFull);
  FOriginal->setChecked(mode == dmOriginal);
  FAdaptive->setChecked(mode == dmAdaptive);
}

void TKyvPlayerCtrl::miFullClick() {
  FControl.SetFullScreen(true);
  miDisplayModeClick();
}

void TKyvPlayerCtrl::miOriginalClick() {
  FControl.SetDisplayMode(dmOriginal);
  miDisplayModeClick();
}

void TKyvPlayerCtrl::miAdaptiveClick() {
  FControl.SetDisplayMode(dmAdaptive);
  miDisplayModeClick();
}

void TKyvPlayerCtrl::miStatusClick() {
  if (FStatusForm == nullptr) FStatusForm = new TfrmStatus(this);
  FStatusForm->ShowIn(*this, FControl.Core());
}

void TKyvPlayerCtrl::miAboutClick() {
  TAboutBox::ShowModal(*this);
}

// Full screen.

bool TKyvPlayerCtrl::ShowFullScreen() {
  try {
    if (!FFullScreenForm) FFullScreenForm = std::make_unique<TfrmFullScreen>(this);
    // The control passes the requests on to a live station only.
    FFullScreenForm->SetReader([this](const std::string& Text) { FControl.Request(Text); });
    FFullScreenForm->Prepare(FControl.KyvWidth(), FControl.KyvHeight(), FControl.Window());
  } catch (const EKyvError& e) {
    OutputDebugString(std::string("Full screen: ") + e.what());
    FFullScreenForm.reset();
    return false;
  }
  FFullScreenForm->Present();
  return true;
}

void TKyvPlayerCtrl::FreeFullScreen() {
  // Keys held when the control drops the window (a new mode, a close, the host deleting the
  // form) would stay down at the station.
  if (FFullScreenForm) FFullScreenForm->ReleaseKeys();
  FFullScreenForm.reset();
}

bool TKyvPlayerCtrl::RepaintFullScreen(TBackBuffer& Buffer, const TRect& Changed) {
  if (!FFullScreenForm) return false;
  FFullScreenForm->RepaintRect(Buffer, Changed);
  return true;
}

// The views.

void TKyvPlayerCtrl::ShowPicture(TDisplayMode Mode) {
  // Leaving full screen with nothing open lays out, but shows no old picture.
  if (FControl.Core().Player() != nullptr) FDetail->Picture().show();
  if (Mode == dmFull && ShowFullScreen()) return;
  FreeFullScreen();
  const TDisplayMode shown = Mode == dmFull ? dmAdaptive : Mode;
  FDetail->SetScreen(FControl.KyvWidth(), FControl.KyvHeight(), shown);
}

void TKyvPlayerCtrl::HidePicture() {
  FreeFullScreen();
  FDetail->Picture().hide();
}

void TKyvPlayerCtrl::RepaintRect(const TRect& Changed) {
  TPlayThread* player = FControl.Core().Player();
  if (player == nullptr) return;
  if (RepaintFullScreen(player->BackBuffer(), Changed)) return;
  FDetail->RepaintRect(player->BackBuffer(), Changed);
}

void TKyvPlayerCtrl::Marker() {
  FDetail->MarkerFound();
}

void TKyvPlayerCtrl::SetBackground(uint32_t Color) {
  FDetail->SetBackground(Color);
  FNails->SetBackground(Color);
}

void TKyvPlayerCtrl::HideNails() {
  FNails->hide();
  if (QWidget* splitter = FNails->Splitter()) splitter->hide();
}

bool TKyvPlayerCtrl::NailsVisible() const {
  return !FNails->isHidden();
}

void TKyvPlayerCtrl::ClearNails() {
  FNails->ClearNails();
}

bool TKyvPlayerCtrl::AddNail(const std::string& Path, int32_t Seconds) {
  const bool added = FNails->AddNail(Path, Seconds);
  // The first thumbnail brings the strip's splitter, which the detail view makes room for.
  if (added) LayoutViews();
  return added;
}

void TKyvPlayerCtrl::SyncToTime(int32_t Seconds) {
  FNails->SyncToTime(Seconds);
}

void TKyvPlayerCtrl::RelayoutOne(int Index) {
  FNails->NailsLayoutStep(Index);
}

void TKyvPlayerCtrl::RefreshPicture() {
  if (TPlayThread* player = FControl.Core().Player()) player->RequestRefresh();
}

// The form's properties.

void TKyvPlayerCtrl::SetColor(OLE_COLOR Value) {
  FColor = Value;
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ColourOf(Value));
  setPalette(palette);
}

void TKyvPlayerCtrl::SetCursorNumber(int16_t Value) {
  FCursor = Value;
  if (Value == 0)
    unsetCursor();
  else
    setCursor(ShapeOf(Value));
}

// Layout and input.

void TKyvPlayerCtrl::LayoutViews() {
  int bottom = height();
  if (!FNails->isHidden()) {
    const int strip = std::min(FNails->height(), height());
    FNails->setGeometry(0, height() - strip, width(), strip);
    bottom -= strip;
    if (const QWidget* splitter = FNails->Splitter(); splitter && !splitter->isHidden())
      bottom -= splitter->height();
  }
  FDetail->setGeometry(0, 0, width(), std::max(0, bottom));
}

void TKyvPlayerCtrl::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  LayoutViews();
}

bool TKyvPlayerCtrl::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Resize:
      // The strip was shown, hidden or dragged to another height.
      if (Watched == FNails) LayoutViews();
      return false;
    case QEvent::KeyPress: {
      if (!FKeyPreview || FResending) return false;
      QWidget* target = qobject_cast<QWidget*>(Watched);
      if (target == nullptr || (target != this && !isAncestorOf(target))) return false;
      return PreviewKey(*target, static_cast<QKeyEvent&>(*Event));
    }
    default:
      return false;
  }
}

bool TKyvPlayerCtrl::PreviewKey(QWidget& Target, QKeyEvent& Event) {
  if (Event.text().size() != 1) return false;  // not a character
  const char16_t typed = Event.text().at(0).unicode();
  int16_t key = static_cast<int16_t>(typed);
  const TOwnerHold hold(FOwner);
  // The host may delete the form or the widget the key was going to.
  const QPointer<QWidget> self(this), target(&Target);
  FEvents.OnKeyPress(key);
  if (!self || !target) return true;
  // The event goes on as a copy that the filter lets pass, so that its way up through the
  // parents does not reach the host again.
  Event.accept();
  if (key == 0) return true;
  const auto character = static_cast<char16_t>(key);
  QKeyEvent copy(Event.type(), character == typed ? Event.key() : KeyOf(character),
                 Event.modifiers(), QString(QChar(character)), Event.isAutoRepeat(),
                 static_cast<quint16>(Event.count()));
  FResending = true;
  QCoreApplication::sendEvent(&Target, &copy);
  FResending = false;
  return true;
}

void TKyvPlayerCtrl::keyPressEvent(QKeyEvent* Event) {
  // With key preview the host has seen the key already.
  if (!FKeyPreview && Event->text().size() == 1) {
    auto key = static_cast<int16_t>(Event->text().at(0).unicode());
    const TOwnerHold hold(FOwner);
    FEvents.OnKeyPress(key);
  }
  QWidget::keyPressEvent(Event);
}

void TKyvPlayerCtrl::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  if (Event->type() != QEvent::ActivationChange) return;
  const TOwnerHold hold(FOwner);
  if (isActiveWindow())
    FEvents.OnActivate();
  else
    FEvents.OnDeactivate();
}

void TKyvPlayerCtrl::paintEvent(QPaintEvent* Event) {
  QWidget::paintEvent(Event);
  const TOwnerHold hold(FOwner);
  FEvents.OnPaint();
}

void TKyvPlayerCtrl::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FLeftPressed = true;
  QWidget::mousePressEvent(Event);
}

void TKyvPlayerCtrl::mouseReleaseEvent(QMouseEvent* Event) {
  const bool click = Event->button() == Qt::LeftButton && FLeftPressed &&
                     rect().contains(Event->position().toPoint());
  if (Event->button() == Qt::LeftButton) FLeftPressed = false;
  if (!click) return;
  const TOwnerHold hold(FOwner);
  FEvents.OnClick();
}

void TKyvPlayerCtrl::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton) return;
  const TOwnerHold hold(FOwner);
  FEvents.OnDblClick();
}

void TKyvPlayerCtrl::contextMenuEvent(QContextMenuEvent* Event) {
  FMenu->popup(Event->globalPos());
}

}  // namespace kyv
