#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>

#include "control/StatusTexts.h"
#include "platform/System.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace kyv {

class TPlayerCore;

// The statistics window (frmStatus): what the frame store holds, the playing position, the
// source's reception speed, and the recording's length and screen size, refreshed once a second
// while shown. It reads the player's state and changes nothing.
//
// It is a dialog window owned by the control and laid over it, not a widget inside it: on Linux
// the caption and close box come from the window manager, which decorates only windows.
//
// UI thread, all of it.
class TfrmStatus : public QDialog {
 public:
  // Captions in English unless LangId is 2052; Label1 and GroupBox1 keep theirs in every language.
  explicit TfrmStatus(QWidget* Parent = nullptr, uint16_t LangId = SystemDefaultLangID());
  ~TfrmStatus() override;

  // The menu item: reads Core from now on, becomes the control's window, is centred over the
  // control, and shows, not modally. Core is borrowed; the control outlives the window's use of
  // it because it owns the window.
  void ShowIn(QWidget& Control, TPlayerCore& Core);
  TPlayerCore* Context() const noexcept { return FContext; }

  // timRefresh's handler: refreshes the figures (nothing without a context).
  void timRefreshTimer();
  const QTimer& RefreshTimer() const noexcept { return timRefresh; }

 protected:
  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;

 private:
  void Apply(const TStatusTexts& Texts);

  friend struct TStatusFormLayout;  // the table of labels that fills the fields below

  QGroupBox* gbBuffer;        // owned by the window
  QGroupBox* GroupBox1;       // owned by the window
  QLabel* labFrom = nullptr;  // these labels are owned by their group boxes
  QLabel* labCurrentPosition = nullptr;
  QLabel* labTo = nullptr;
  QLabel* labFrames = nullptr;
  QLabel* labBytes = nullptr;
  QLabel* labBPS = nullptr;
  QLabel* labDuration = nullptr;
  QLabel* labSize = nullptr;
  QPushButton* btnClose;  // owned by the window
  QTimer timRefresh;
  TPlayerCore* FContext = nullptr;
};

}  // namespace kyv
