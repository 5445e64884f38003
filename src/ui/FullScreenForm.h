#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "context/PlayContext.h"
#include "picture/BackBuffer.h"
#include "picture/FullScreenLayout.h"
#include "picture/Rect.h"
#include "picture/Repainter.h"
#include "platform/Window.h"
#include "source/live/RemoteInput.h"
#include "ui/PictureWidget.h"
#include "ui/PointerRelay.h"

namespace kyv {

// The full-screen window (frmFullScreen): a borderless black window over the monitor that holds
// the control, showing the recording centred and reduced to fit. While the source is a live
// station it turns the viewer's keys and the pointer's actions over the picture into remote-input
// requests. Escape, F7 or losing the keyboard focus ask the control to leave full screen; the
// control destroys the window, which refuses every other way of closing.
//
// UI thread, all of it. The control owns the window (a top-level widget without a parent).
class TfrmFullScreen : public QWidget {
 public:
  static constexpr int kFrontTimerMs = 100;
  // A window manager may take a while to give a new window the focus: until the window has had
  // the focus once, it waits this many ticks before it takes a missing focus for a switch away.
  static constexpr int kFirstFocusTicks = 20;

  // Host: the control's form, whose monitor the window covers; null covers the whole screen.
  explicit TfrmFullScreen(const QWidget* Host = nullptr);
  ~TfrmFullScreen() override;

  // Where the requests go (the live stream's PostText); empty when the source is not a live
  // station: input then sends nothing.
  void SetReader(TRequestSender Reader) { FReader = std::move(Reader); }
  // Keeps the control's window, for the request to leave, and lays the picture out for the
  // recording's size.
  void Prepare(const TPlayContext& Context, HWND Wnd);
  void Prepare(int ScreenWidth, int ScreenHeight, HWND Wnd);
  // Places the window on the host's monitor, reduces and centres the picture, and gives it a new
  // black bitmap of its size. Nothing changes while the recording's size is unknown. Raises
  // EKyvError when the layout overflows.
  void LayoutPicture();
  // Shows the window above the others and asks for the keyboard focus.
  void Present();
  // UM_LEAVE_FULLSCREEN to the control, after the releases of the keys still held.
  void RequestLeave();
  // UM_DIRTY in full screen: copies the changed part of the back buffer into the picture, scaled
  // by the zoom, and repaints that part of it.
  void RepaintRect(TBackBuffer& Buffer, const TRect& Changed);
  // The 100 ms check that the window still holds the focus; the timer calls it, tests may too.
  void FrontTimerTimer();

  const TFullScreenLayout& Layout() const noexcept { return FLayout; }
  int Zoom() const noexcept { return FLayout.Zoom; }
  TPictureWidget& Picture() noexcept { return *FPicture; }
  QTimer& FrontTimer() noexcept { return FFrontTimer; }
  // Sends the release of every key the station was told is down (the window is about to go).
  void ReleaseKeys();

 protected:
  void changeEvent(QEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  // Tab and Backtab go to the station, not to the focus chain.
  bool focusNextPrevChild(bool Next) override;

 private:
  void Send(const std::string& Text);
  void PictureButton(int Button, int X, int Y, bool Up);
  void PictureMove(int X, int Y);
  QRect MonitorRect() const;

  TPointerEvents FPointer;   // before the picture, which holds a reference to it
  TPictureWidget* FPicture;  // imgPic, owned by this widget
  QTimer FFrontTimer;
  QPointer<const QWidget> FHost;
  TRequestSender FReader;
  TRepainter FRepainter;
  TFullScreenLayout FLayout;
  std::vector<uint16_t> FKeysDown;  // pressed and not yet released, in the order pressed
  HWND FWnd = 0;
  int FScreenWidth = 0;  // the recording's size
  int FScreenHeight = 0;
  bool FHadFocus = false;
  int FTicksWithoutFocus = 0;
};

}  // namespace kyv
