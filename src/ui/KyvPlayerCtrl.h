#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "control/PlayerViews.h"
#include "kyv/kyvplayer.h"

class QAction;
class QMenu;

namespace kyv {

class TBackBuffer;
class TDetailFrame;
class TfrmFullScreen;
class TKyvPlayerEvents;
class TNailsFrame;
class TPlayerControl;
class TfrmStatus;

// The control's form: the widget a host places, holding the detail view frmDetail above the
// thumbnail strip frmNails (hidden until its first thumbnail), with the popup menu pmKyv. It is
// the control's views: the control decides, the form draws, lays out and takes input, and raises
// the form's events to the host (mouse and clicks over the detail view, key presses anywhere in
// it, activation, painting).
//
// With KeyPreview on, a character key pressed anywhere in the form reaches the host's
// OnKeyPress before the widget that has the focus; the key the host leaves is the one that
// widget gets, and a key cleared to 0 is dropped.
//
// Full screen: while the display mode is dmFull and a source is shown, the full-screen window
// (TfrmFullScreen) shows the picture and sends a live station the viewer's input; when it cannot
// be made, the detail view shows the picture as in dmAdaptive and the mode stays dmFull.
//
// UI thread, all of it. The control and the events belong to the form's owner and outlive it.
class TKyvPlayerCtrl : public QWidget, public IPlayerViews {
 public:
  static constexpr int kDesignWidth = 495;
  static constexpr int kDesignHeight = 410;
  static constexpr int kNailsHeight = 63;

  TKyvPlayerCtrl(TPlayerControl& Control, const TKyvPlayerEvents& Events,
                 QWidget* Parent = nullptr);
  ~TKyvPlayerCtrl() override;

  // IPlayerViews.
  void ShowPicture(TDisplayMode Mode) override;
  void HidePicture() override;
  void RepaintRect(const TRect& Changed) override;
  void Marker() override;
  void SetBackground(uint32_t Color) override;
  void HideNails() override;
  bool NailsVisible() const override;
  void ClearNails() override;
  bool AddNail(const std::string& Path, int32_t Seconds) override;
  void SyncToTime(int32_t Seconds) override;
  void RelayoutOne(int Index) override;

  // The form's properties that the widget itself carries.
  bool KeyPreview() const noexcept { return FKeyPreview; }
  void SetKeyPreview(bool Value) noexcept { FKeyPreview = Value; }
  OLE_COLOR Color() const noexcept { return FColor; }
  void SetColor(OLE_COLOR Value);
  int16_t CursorNumber() const noexcept { return FCursor; }
  void SetCursorNumber(int16_t Value);

  TDetailFrame& frmDetail() noexcept { return *FDetail; }
  TNailsFrame& frmNails() noexcept { return *FNails; }
  QMenu& pmKyv() noexcept { return *FMenu; }
  // The picture that shows the recording in the detail view.
  QWidget& imgPic() noexcept;

  // The component that owns the form: held while the host handles an event the form raises.
  void SetOwner(IUnknown* Owner) noexcept { FOwner = Owner; }

  // Called first thing when the form goes (the host may delete it), while all of it exists.
  std::function<void()> OnDestroying;

  // The menu's handlers, as its items call them.
  void miDisplayModeClick();
  void miFullClick();
  void miOriginalClick();
  void miAdaptiveClick();
  // The statistics window and the about box.
  void miStatusClick();
  void miAboutClick();

 protected:
  // The full-screen window: make it if there is none and show the current source on it (false
  // when the form has none, and the detail view shows the picture instead); free it; copy a
  // changed part of the back buffer into its picture (false when it has none).
  bool ShowFullScreen();
  void FreeFullScreen();
  bool RepaintFullScreen(TBackBuffer& Buffer, const TRect& Changed);

  TPlayerControl& Control() noexcept { return FControl; }
  const TKyvPlayerEvents& Events() const noexcept { return FEvents; }

  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;

 private:
  void MakeMenu();
  QAction* AddItem(QMenu& Menu, const char* Name, const char* Stored, const char* English,
                   void (TKyvPlayerCtrl::*Handler)());
  // frmDetail fills what frmNails and its splitter leave.
  void LayoutViews();
  // A key on its way to Target: the host sees it first (key preview).
  bool PreviewKey(QWidget& Target, QKeyEvent& Event);
  void RefreshPicture();

  TPlayerControl& FControl;
  const TKyvPlayerEvents& FEvents;
  TDetailFrame* FDetail;  // children, owned by the form
  TNailsFrame* FNails;
  QMenu* FMenu = nullptr;
  QAction* FFull = nullptr;
  QAction* FOriginal = nullptr;
  QAction* FAdaptive = nullptr;
  bool FKeyPreview = true;
  bool FResending = false;  // a previewed key is being delivered: the filter lets it pass
  std::unique_ptr<TfrmFullScreen> FFullScreenForm;  // only while full screen shows a source
  bool FLeftPressed = false;
  OLE_COLOR FColor;
  int16_t FCursor = 0;
  TfrmStatus* FStatusForm = nullptr;  // made on first use, owned by the form
  IUnknown* FOwner = nullptr;
};

}  // namespace kyv
