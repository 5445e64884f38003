#pragma once

#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <map>
#include <optional>

#include "CommandLine.h"
#include "ControlLink.h"
#include "EventSink.h"
#include "RecentFiles.h"
#include "Shortcuts.h"
#include "TransportBar.h"

namespace kyv::player {

// The player's window: the control's widget filling it, the transport bar, the menus, the
// status line with the state and the reason of a failure, drag and drop of files and
// addresses, and the keys of the shortcut table. Everything it asks of the control goes
// through the link, and what the control tells comes through the event sink.
//
// The control's state is read while something moves it (opening, playing) a few times a
// second, for the slider and for failures the control reports no event for; nothing runs while
// paused, stopped or closed.
//
// Threads: the UI thread, which is the control's.
class TPlayerWindow : public QMainWindow {
  Q_OBJECT

 public:
  TPlayerWindow(TControlLink& Link, QSettings& Settings, QWidget* Parent = nullptr);
  ~TPlayerWindow() override;

  // Opens Address as the command line asks: at Options.At, paused, in Options.Mode.
  void Start(const TPlayerOptions& Options);

  void Perform(TPlayerAction Action);
  QAction* ActionOf(TPlayerAction Action) const { return FActions.at(Action); }

  // Opens a file or address; a refusal is shown, never raised.
  void OpenAddress(const QString& Address);
  void PlayPause();
  void Play();
  void Pause();
  void Stop();
  void SeekTo(int64_t Milliseconds);
  void SeekBy(int64_t Milliseconds);

  TStatus Status() const noexcept { return FStatus; }
  int32_t Position() const;
  int32_t Duration() const noexcept { return FDuration; }
  QString Address() const { return FAddress; }
  // The recording's name, or the title a live station gives itself.
  QString Title() const;
  QString StatusLine() const { return FStatusText->text(); }
  // The last failure shown; empty when none since the last open.
  QString Failure() const { return FFailure; }
  // The picture's widget (the control's), null when the control has none.
  QWidget* ControlWidget() const { return FControlWidget; }
  TControlLink& Link() noexcept { return FLink; }
  bool WindowFullScreen() const noexcept { return FWindowFullScreen; }
  // Whether what the command line asked is still to be done once the source is ready.
  bool Starting() const noexcept { return FPendingStart.has_value(); }

 signals:
  void StateChanged(kyv::player::TPlayerWindow* Window);
  void Seeked(int32_t Milliseconds);
  void MetadataChanged();
  void ActionPerformed(kyv::player::TPlayerAction Action);

 protected:
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void MakeActions();
  void MakeMenus();
  void EmbedControl();
  void ChooseOpenFile();
  void ChooseOpenAddress();
  // Triggers the control's menu item named Name; false when the control has none.
  bool TriggerControlAction(const char* Name);
  void ShowStatistics();
  void ShowAbout();
  void SetDisplayMode(TDisplayMode Mode);
  void ToggleWindowFullScreen();
  void FillRecentMenu();

  // The control's events.
  void PlayStateChanged(TStatus NewState);
  void DisplayModeChanged(TDisplayMode NewMode);
  // The few-times-a-second look while opening or playing.
  void Watch();
  void UpdateWatch();
  // Shows the failure the control reports through its last source error, if it is new (with
  // Known, also when it is the one seen before); with Notify in a notice too.
  void CheckFailure(bool Opening, bool Known = false, bool Notify = true);
  // On the status line and standard error, and with Notify in a notice that does not block.
  void ShowFailure(const QString& Text, bool Notify = true);
  void ShowState();
  // Calls a command, showing its failure instead of raising it.
  template <class F>
  void Command(F&& Call);

  TControlLink& FLink;
  QSettings& FSettings;
  TRecentFiles FRecent;
  com::TComPtr<TEventSink> FSink;
  std::map<TPlayerAction, QAction*> FActions;
  QActionGroup* FModes = nullptr;
  QMenu* FRecentMenu = nullptr;
  TTransportBar* FBar = nullptr;
  QLabel* FStatusText = nullptr;
  QPointer<QWidget> FControlWidget;
  QPointer<QMessageBox> FNotice;
  QTimer FWatch;
  QAction* FLeaveFullScreen = nullptr;

  QString FAddress;
  QString FStationTitle;
  QString FFailure;
  TStatus FStatus = vpClosed;
  int32_t FDuration = 0;
  int FSpeed = 1;
  // Set while the window itself closes or reopens: a close it did not ask for is a failure.
  bool FClosing = false;
  bool FPlayedOnce = false;
  // The control closed after a failure it reopens by itself.
  bool FReconnecting = false;
  TSourceFailure FKnownFailure;
  // What the command line asks once the source is ready.
  struct TPendingStart {
    std::optional<int32_t> At;
    bool Paused = false;
  };
  std::optional<TPendingStart> FPendingStart;
  bool FWindowFullScreen = false;
  bool FWasMaximized = false;
};

}  // namespace kyv::player
