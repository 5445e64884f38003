#include "ui/FullScreenForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <algorithm>

#include "context/UserMessages.h"
#include "ui/VirtualKeys.h"

namespace kyv {

TfrmFullScreen::TfrmFullScreen(const QWidget* Host)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      FPicture(new TPictureWidget(FPointer, this)),
      FHost(Host) {
  setObjectName("frmFullScreen");
  setWindowTitle(QString::fromUtf8("全屏幕"));
  // A host quitting by closing its last window must not be held up by this one.
  setAttribute(Qt::WA_QuitOnClose, false);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(530, 376);
  FPointer.MouseDown = [this](int Button, int X, int Y) { PictureButton(Button, X, Y, false); };
  FPointer.MouseUp = [this](int Button, int X, int Y) { PictureButton(Button, X, Y, true); };
  FPointer.MouseMove = [this](int X, int Y) { PictureMove(X, Y); };
  FFrontTimer.setInterval(kFrontTimerMs);
  QObject::connect(&FFrontTimer, &QTimer::timeout, this, [this] { FrontTimerTimer(); });
  FFrontTimer.start();
}

TfrmFullScreen::~TfrmFullScreen() = default;

void TfrmFullScreen::Prepare(const TPlayContext& Context, HWND Wnd) {
  Prepare(Context.Header.Width, Context.Header.Height, Wnd);
}

void TfrmFullScreen::Prepare(int ScreenWidth, int ScreenHeight, HWND Wnd) {
  FWnd = Wnd;
  FScreenWidth = ScreenWidth;
  FScreenHeight = ScreenHeight;
  LayoutPicture();
}

QRect TfrmFullScreen::MonitorRect() const {
  if (FHost)
    if (const QScreen* screen = FHost->screen()) return screen->geometry();
  const QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? QRect(QPoint(0, 0), primary->virtualSize()) : QRect(0, 0, width(), height());
}

void TfrmFullScreen::LayoutPicture() {
  const QRect monitor = MonitorRect();
  TFullScreenLayout layout;
  if (!LayoutFullScreen(monitor.width(), monitor.height(), FScreenWidth, FScreenHeight, layout))
    return;
  if (FHost)
    if (QScreen* screen = FHost->screen()) setScreen(screen);
  setGeometry(monitor);
  FLayout = layout;
  FPicture->setGeometry(layout.Left, layout.Top, layout.Width, layout.Height);
  FPicture->RecreateBitmap(0);
}

void TfrmFullScreen::Present() {
  FPicture->show();
  show();
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void TfrmFullScreen::RequestLeave() {
  ReleaseKeys();
  PostMessage(FWnd, UM_LEAVE_FULLSCREEN, 0, 0);
}

void TfrmFullScreen::ReleaseKeys() {
  for (const uint16_t vk : FKeysDown) Send(KeyboardRequest(vk, true));
  FKeysDown.clear();
}

void TfrmFullScreen::RepaintRect(TBackBuffer& Buffer, const TRect& Changed) {
  // A reduced picture is scaled like the adaptive view, so the whole recording stays in sight.
  const TDisplayMode mode = FLayout.Zoom < 100 ? dmAdaptive : dmFull;
  const TRect shown =
      FRepainter.RepaintRect(Buffer, FPicture->Bitmap(), Changed, mode, FLayout.Zoom);
  if (!shown.IsEmpty()) FPicture->update(shown.Left, shown.Top, shown.Width(), shown.Height());
}

void TfrmFullScreen::FrontTimerTimer() {
  if (isActiveWindow()) return;
  if (FHadFocus || ++FTicksWithoutFocus >= kFirstFocusTicks) RequestLeave();
}

void TfrmFullScreen::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::ActivationChange) {
    if (isActiveWindow()) {
      FHadFocus = true;  // noted as it happens: a focus held only between two ticks counts too
    } else {
      // The releases of keys held while the focus goes (Alt of Alt+Tab) never come here; without
      // them the station would keep those keys down.
      ReleaseKeys();
    }
  }
  QWidget::changeEvent(Event);
}

void TfrmFullScreen::closeEvent(QCloseEvent* Event) {
  // Only the control ends full screen: Alt+F4 and the window manager's close are refused.
  Event->ignore();
}

void TfrmFullScreen::keyPressEvent(QKeyEvent* Event) {
  // Auto-repeats are sent too: the station repeats the key as its own keyboard would.
  const uint16_t vk = VirtualKeyOf(*Event);
  if (vk == 0) return;
  if (std::find(FKeysDown.begin(), FKeysDown.end(), vk) == FKeysDown.end()) FKeysDown.push_back(vk);
  Send(KeyboardRequest(vk, false));
}

void TfrmFullScreen::keyReleaseEvent(QKeyEvent* Event) {
  // The toolkit pairs every auto-repeated press with a release; a station's keyboard releases a
  // held key once, when it is let go, and only then does Escape or F7 end full screen.
  if (Event->isAutoRepeat()) return;
  const uint16_t vk = VirtualKeyOf(*Event);
  if (vk == 0) return;
  std::erase(FKeysDown, vk);
  Send(KeyboardRequest(vk, true));
  if (vk == kVkEscape || vk == kVkF7) RequestLeave();
}

bool TfrmFullScreen::focusNextPrevChild(bool Next) {
  (void)Next;
  return false;
}

void TfrmFullScreen::Send(const std::string& Text) {
  if (FReader) FReader(Text);
}

void TfrmFullScreen::PictureButton(int Button, int X, int Y, bool Up) {
  const int32_t flags = MouseButtonFlags(Button, Up);
  if (flags == 0 || !FReader) return;
  const TPoint p = FLayout.ToRecording(X, Y);
  Send(MouseRequest(flags, p.X, p.Y));
}

void TfrmFullScreen::PictureMove(int X, int Y) {
  if (!FReader) return;
  const TPoint p = FLayout.ToRecording(X, Y);
  Send(MouseRequest(mfMoveAbsolute, p.X, p.Y));
}

}  // namespace kyv
