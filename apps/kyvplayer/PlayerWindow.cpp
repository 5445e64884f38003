#include "PlayerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <iostream>

#include "PlayerTexts.h"

namespace kyv::player {

namespace {

constexpr int kWatchMs = 250;
constexpr char kGeometryKey[] = "window/geometry";

bool IsReconnectCode(int32_t Code) {
  return Code == 3 || Code == 4 || Code == 7 || Code == 15;
}

bool IsOpen(TStatus Status) {
  return Status == vpOpened || Status == vpPlaying || Status == vpPaused || Status == vpStopped ||
         Status == vpScanForward;
}

// A desktop's file:// address and a name relative to the working folder become a full path, so
// that the title, the recent list and the media interface name the file wherever they are read.
QString PlainAddress(const QString& Address) {
  const QString address = Address.trimmed();
  if (address.startsWith("file:", Qt::CaseInsensitive)) return QUrl(address).toLocalFile();
  if (!address.isEmpty() && !address.contains("://") && QFileInfo(address).isRelative())
    return QFileInfo(address).absoluteFilePath();
  return address;
}

}  // namespace

TPlayerWindow::TPlayerWindow(TControlLink& Link, QSettings& Settings, QWidget* Parent)
    : QMainWindow(Parent), FLink(Link), FSettings(Settings), FRecent(Settings) {
  setWindowTitle("KyvPlayer");
  setAcceptDrops(true);
  resize(960, 640);
  restoreGeometry(FSettings.value(kGeometryKey).toByteArray());

  MakeActions();
  FBar = new TTransportBar(ActionOf(TPlayerAction::Open), ActionOf(TPlayerAction::PlayPause),
                           ActionOf(TPlayerAction::Stop), ActionOf(TPlayerAction::FastForward));
  connect(FBar, &TTransportBar::SeekRequested, this, [this](int32_t Ms) { SeekTo(Ms); });
  MakeMenus();
  EmbedControl();
  FStatusText = new QLabel(this);
  FStatusText->setObjectName("statusText");
  statusBar()->addWidget(FStatusText, 1);

  FSink = com::MakeCom<TEventSink>(
      TEventSink::TListener{[this](TStatus NewState) { PlayStateChanged(NewState); },
                            [this](TDisplayMode NewMode) { DisplayModeChanged(NewMode); },
                            [this](int32_t Seconds) { SeekTo(int64_t{Seconds} * 1000); }});
  Command([&] { FLink.Advise(FSink.Get()); });
  Command([&] { DisplayModeChanged(FLink.DisplayMode()); });

  FWatch.setInterval(kWatchMs);
  connect(&FWatch, &QTimer::timeout, this, &TPlayerWindow::Watch);
  qApp->installEventFilter(this);
  ShowState();
}

TPlayerWindow::~TPlayerWindow() {
  qApp->removeEventFilter(this);
  FWatch.stop();
  FLink.Unadvise();
  FSink->Detach();
  // The widget is the control's: it goes with the control, not with this window.
  if (FControlWidget) {
    FControlWidget->hide();
    FControlWidget->setParent(nullptr);
  }
}

void TPlayerWindow::MakeActions() {
  const auto icon = [this](QStyle::StandardPixmap Pixmap) { return style()->standardIcon(Pixmap); };
  for (const TShortcut& row : ShortcutTable()) {
    auto* action = new QAction(row.Text, this);
    action->setShortcuts(row.Keys);
    // In the window itself too: the menu bar is hidden in full screen, its actions then too.
    addAction(action);
    connect(action, &QAction::triggered, this, [this, which = row.Action] { Perform(which); });
    FActions[row.Action] = action;
  }
  ActionOf(TPlayerAction::Open)->setIcon(icon(QStyle::SP_DialogOpenButton));
  ActionOf(TPlayerAction::PlayPause)->setIcon(icon(QStyle::SP_MediaPlay));
  ActionOf(TPlayerAction::Stop)->setIcon(icon(QStyle::SP_MediaStop));
  ActionOf(TPlayerAction::FastForward)->setIcon(icon(QStyle::SP_MediaSeekForward));
  FModes = new QActionGroup(this);
  for (TPlayerAction mode :
       {TPlayerAction::ModeAdaptive, TPlayerAction::ModeOriginal, TPlayerAction::ModeFull}) {
    ActionOf(mode)->setCheckable(true);
    FModes->addAction(ActionOf(mode));
  }
  FLeaveFullScreen = new QAction("Leave full screen", this);
  FLeaveFullScreen->setShortcut(QKeySequence(Qt::Key_Escape));
  FLeaveFullScreen->setEnabled(false);
  addAction(FLeaveFullScreen);
  connect(FLeaveFullScreen, &QAction::triggered, this, [this] {
    if (FWindowFullScreen) ToggleWindowFullScreen();
  });
}

void TPlayerWindow::MakeMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction(ActionOf(TPlayerAction::Open));
  file->addAction(ActionOf(TPlayerAction::OpenAddress));
  FRecentMenu = file->addMenu("&Recent");
  connect(FRecentMenu, &QMenu::aboutToShow, this, &TPlayerWindow::FillRecentMenu);
  file->addSeparator();
  file->addAction(ActionOf(TPlayerAction::Quit));

  QMenu* play = menuBar()->addMenu("&Play");
  for (TPlayerAction action :
       {TPlayerAction::PlayPause, TPlayerAction::Stop, TPlayerAction::FastForward,
        TPlayerAction::Forward, TPlayerAction::Back, TPlayerAction::ForwardLong,
        TPlayerAction::BackLong, TPlayerAction::ToStart, TPlayerAction::ToEnd})
    play->addAction(ActionOf(action));

  QMenu* view = menuBar()->addMenu("&View");
  QMenu* modes = view->addMenu("&Display mode");
  modes->addActions(FModes->actions());
  view->addAction(ActionOf(TPlayerAction::FullScreen));
  view->addSeparator();
  view->addAction(ActionOf(TPlayerAction::Statistics));

  menuBar()->addMenu("&Help")->addAction(ActionOf(TPlayerAction::About));
}

void TPlayerWindow::EmbedControl() {
  auto* centre = new QWidget(this);
  auto* layout = new QVBoxLayout(centre);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  FControlWidget = static_cast<QWidget*>(FLink.Widget());
  if (FControlWidget) {
    layout->addWidget(FControlWidget, 1);
    FControlWidget->show();
  } else {
    auto* none = new QLabel("This control has no window to show the picture in.", centre);
    none->setAlignment(Qt::AlignCenter);
    layout->addWidget(none, 1);
  }
  layout->addWidget(FBar);
  setCentralWidget(centre);
}

// ---- Commands ----

template <class F>
void TPlayerWindow::Command(F&& Call) {
  try {
    Call();
  } catch (const EControlError& e) {
    ShowFailure(QString::fromUtf8(e.what()));
  }
}

void TPlayerWindow::Start(const TPlayerOptions& Options) {
  if (Options.Mode) SetDisplayMode(*Options.Mode);
  if (Options.Address.empty()) return;
  const bool asked = Options.At || Options.Paused;
  if (asked) Command([&] { FLink.SetAutoStart(false); });
  OpenAddress(QString::fromStdString(Options.Address));
  // The source is announced ready by a later message, never inside Open.
  if (asked) FPendingStart = TPendingStart{Options.At, Options.Paused};
}

void TPlayerWindow::Perform(TPlayerAction Action) {
  emit ActionPerformed(Action);
  switch (Action) {
    case TPlayerAction::Open:
      ChooseOpenFile();
      break;
    case TPlayerAction::OpenAddress:
      ChooseOpenAddress();
      break;
    case TPlayerAction::Quit:
      close();
      break;
    case TPlayerAction::PlayPause:
      PlayPause();
      break;
    case TPlayerAction::Stop:
      Stop();
      break;
    case TPlayerAction::FastForward: {
      if (!IsOpen(FStatus)) break;
      const int speed =
          FStatus == vpPlaying || FStatus == vpScanForward ? std::min(FSpeed * 2, 32) : 2;
      Command([&] { FLink.FastForward(); });
      if (FStatus == vpScanForward) FSpeed = speed;
      FBar->SetSpeed(FSpeed);
      break;
    }
    case TPlayerAction::Forward:
      SeekBy(5000);
      break;
    case TPlayerAction::Back:
      SeekBy(-5000);
      break;
    case TPlayerAction::ForwardLong:
      SeekBy(30000);
      break;
    case TPlayerAction::BackLong:
      SeekBy(-30000);
      break;
    case TPlayerAction::ToStart:
      SeekTo(0);
      break;
    case TPlayerAction::ToEnd:
      SeekTo(FDuration);
      break;
    case TPlayerAction::FullScreen:
      ToggleWindowFullScreen();
      break;
    case TPlayerAction::Statistics:
      ShowStatistics();
      break;
    case TPlayerAction::ModeAdaptive:
      SetDisplayMode(dmAdaptive);
      break;
    case TPlayerAction::ModeOriginal:
      SetDisplayMode(dmOriginal);
      break;
    case TPlayerAction::ModeFull:
      SetDisplayMode(dmFull);
      break;
    case TPlayerAction::About:
      ShowAbout();
      break;
  }
}

void TPlayerWindow::OpenAddress(const QString& Address) {
  const QString address = PlainAddress(Address);
  if (address.isEmpty()) return;
  if (FPendingStart) {
    FPendingStart.reset();
    Command([&] { FLink.SetAutoStart(true); });
  }
  FAddress = address;
  FFailure.clear();
  FReconnecting = false;
  FPlayedOnce = false;
  FDuration = 0;
  FBar->SetDuration(0);
  FBar->SetLive(false);
  FBar->SetSpeed(1);
  Command([&] { FKnownFailure = FLink.LastSourceFailure(); });
  // A password in a web or FTP address is not written into the settings file.
  const QUrl url(address);
  FRecent.Add(address.contains("://") && !url.password().isEmpty()
                  ? url.adjusted(QUrl::RemovePassword).toString()
                  : address);
  FStationTitle.clear();
  setWindowTitle(Title() + " - KyvPlayer");
  FClosing = true;
  Command([&] { FLink.Open(address.toStdString()); });
  FClosing = false;
  emit MetadataChanged();
  ShowState();
}

void TPlayerWindow::PlayPause() {
  if (FStatus == vpPlaying || FStatus == vpScanForward)
    Pause();
  else
    Play();
}

void TPlayerWindow::Play() {
  if (FStatus == vpClosed && !FAddress.isEmpty()) {
    OpenAddress(FAddress);
    return;
  }
  Command([&] { FLink.Play(); });
}

void TPlayerWindow::Pause() {
  Command([&] { FLink.Pause(); });
}

void TPlayerWindow::Stop() {
  Command([&] { FLink.Stop(); });
}

void TPlayerWindow::SeekTo(int64_t Milliseconds) {
  if (!IsOpen(FStatus)) return;
  int64_t target = std::max<int64_t>(Milliseconds, 0);
  if (FDuration > 0) target = std::min<int64_t>(target, FDuration);
  target = std::min<int64_t>(target, INT32_MAX);
  Command([&] { FLink.SetPosition(static_cast<int32_t>(target)); });
  FBar->SetPosition(static_cast<int32_t>(target));
  emit Seeked(static_cast<int32_t>(target));
}

void TPlayerWindow::SeekBy(int64_t Milliseconds) {
  SeekTo(int64_t{Position()} + Milliseconds);
}

QString TPlayerWindow::Title() const {
  if (!FStationTitle.isEmpty()) return FStationTitle;
  return QString::fromStdString(TitleOf(FAddress.toStdString()));
}

int32_t TPlayerWindow::Position() const {
  try {
    return FLink.Position();
  } catch (const EControlError&) {
    return 0;
  }
}

// ---- Dialogs and views ----

void TPlayerWindow::ChooseOpenFile() {
  const QString folder = FSettings.value("recent/folder").toString();
  const QString file = QFileDialog::getOpenFileName(
      this, "Open a recording", folder,
      "Kyv recordings (*.kyv *.KYV);;Multicast descriptions (*.sms *.SMS);;"
      "Pictures (*.bmp *.dib *.jpg *.jpeg);;All files (*)");
  if (file.isEmpty()) return;
  FSettings.setValue("recent/folder", QFileInfo(file).absolutePath());
  OpenAddress(file);
}

void TPlayerWindow::ChooseOpenAddress() {
  bool ok = false;
  const QString address = QInputDialog::getText(
      this, "Open an address",
      "A file, an http:// or ftp:// address, a live station (kyvs://host/channel):",
      QLineEdit::Normal, FAddress, &ok);
  if (ok) OpenAddress(address);
}

void TPlayerWindow::FillRecentMenu() {
  FRecentMenu->clear();
  for (const QString& address : FRecent.Items())
    FRecentMenu->addAction(address, this, [this, address] { OpenAddress(address); });
  if (FRecent.Items().isEmpty()) FRecentMenu->addAction("(none)")->setEnabled(false);
  FRecentMenu->addSeparator();
  FRecentMenu->addAction("Clear", this, [this] { FRecent.Clear(); });
}

bool TPlayerWindow::TriggerControlAction(const char* Name) {
  QAction* action = FControlWidget ? FControlWidget->findChild<QAction*>(Name) : nullptr;
  if (action != nullptr) action->trigger();
  return action != nullptr;
}

void TPlayerWindow::ShowStatistics() {
  if (!TriggerControlAction("miStatus"))
    statusBar()->showMessage("This control has no statistics window.", 3000);
}

// The control's own box names the libraries it decodes with; a control without one gets ours.
void TPlayerWindow::ShowAbout() {
  if (TriggerControlAction("miAbout")) return;
  QMessageBox::about(this, "About KyvPlayer",
                     QString("<b>KyvPlayer %1</b><p>Plays Kyv screen recordings: files, web and "
                             "FTP addresses, live stations and multicast groups.</p><p>Qt %2</p>")
                         .arg(QApplication::applicationVersion(), qVersion()));
}

void TPlayerWindow::SetDisplayMode(TDisplayMode Mode) {
  Command([&] { FLink.SetDisplayMode(Mode); });
}

void TPlayerWindow::ToggleWindowFullScreen() {
  FWindowFullScreen = !FWindowFullScreen;
  menuBar()->setVisible(!FWindowFullScreen);
  FBar->setVisible(!FWindowFullScreen);
  statusBar()->setVisible(!FWindowFullScreen);
  FLeaveFullScreen->setEnabled(FWindowFullScreen);
  if (FWindowFullScreen) {
    FWasMaximized = isMaximized();
    showFullScreen();
  } else if (FWasMaximized) {
    showMaximized();
  } else {
    showNormal();
  }
}

// ---- What the control tells ----

void TPlayerWindow::PlayStateChanged(TStatus NewState) {
  const TStatus previous = FStatus;
  FStatus = NewState;
  switch (NewState) {
    case vpOpened:
      FReconnecting = false;
      Command([&] { FDuration = FLink.Duration(); });
      FBar->SetDuration(FDuration);
      FBar->SetLive(FDuration == 0);
      Command([&] { FStationTitle = QString::fromStdString(FLink.StationTitle()); });
      setWindowTitle(Title() + " - KyvPlayer");
      emit MetadataChanged();
      if (FPendingStart) {
        // Commands wait until the control has finished announcing the source.
        QTimer::singleShot(0, this, [this] {
          if (!FPendingStart) return;
          const TPendingStart start = *FPendingStart;
          Command([&] { FLink.SetAutoStart(true); });
          if (start.At) SeekTo(*start.At);
          if (!start.Paused) Play();
          FPendingStart.reset();
        });
      }
      break;
    case vpPlaying:
      FSpeed = 1;
      FPlayedOnce = true;
      break;
    case vpStopped:
      FSpeed = 1;
      FBar->SetPosition(0);
      break;
    case vpClosed:
      FSpeed = 1;
      if (!FClosing && previous != vpClosed) {
        // The control closed by itself: a source failed, even when it failed as the one before
        // this open did. The same failure again within this open (a reconnection refused once
        // more) is told on the status line and standard error, without a new notice each time.
        CheckFailure(!FPlayedOnce, true, FFailure.isEmpty());
      }
      break;
    default:
      break;
  }
  FBar->SetSpeed(FSpeed);
  const bool playing = FStatus == vpPlaying || FStatus == vpScanForward;
  ActionOf(TPlayerAction::PlayPause)
      ->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  UpdateWatch();
  ShowState();
  emit StateChanged(this);
}

void TPlayerWindow::DisplayModeChanged(TDisplayMode NewMode) {
  const TPlayerAction action = NewMode == dmOriginal ? TPlayerAction::ModeOriginal
                               : NewMode == dmFull   ? TPlayerAction::ModeFull
                                                     : TPlayerAction::ModeAdaptive;
  ActionOf(action)->setChecked(true);
}

void TPlayerWindow::UpdateWatch() {
  const bool moving = FStatus == vpOpening || FStatus == vpPlaying || FStatus == vpScanForward;
  if (moving && !FWatch.isActive()) FWatch.start();
  if (!moving) {
    FWatch.stop();
    if (IsOpen(FStatus)) FBar->SetPosition(Position());
  }
}

void TPlayerWindow::Watch() {
  if (FStatus == vpOpening) {
    CheckFailure(true);
    return;
  }
  FBar->SetPosition(Position());
  CheckFailure(false);
}

void TPlayerWindow::CheckFailure(bool Opening, bool Known, bool Notify) {
  TSourceFailure failure;
  try {
    failure = FLink.LastSourceFailure();
  } catch (const EControlError&) {
    return;
  }
  if ((failure == FKnownFailure && !Known) || (failure.Code == 0 && failure.Text.empty())) return;
  FKnownFailure = failure;
  std::string text = FailureText(FAddress.toStdString(), failure, Opening);
  bool reconnecting = false;
  Command([&] { reconnecting = FStatus == vpClosed && FLink.AutoConnect(); });
  FReconnecting = reconnecting && IsReconnectCode(failure.Code);
  if (FReconnecting) text += "; reconnecting in 3 s";
  ShowFailure(QString::fromStdString(text), Notify);
}

void TPlayerWindow::ShowFailure(const QString& Text, bool Notify) {
  FFailure = Text;
  std::cerr << "kyvplayer: " << Text.toStdString() << std::endl;
  ShowState();
  if (!Notify) return;
  if (!FNotice) {
    FNotice = new QMessageBox(QMessageBox::Warning, "KyvPlayer", Text, QMessageBox::Ok, this);
    FNotice->setModal(false);
    FNotice->setAttribute(Qt::WA_DeleteOnClose);
  }
  FNotice->setText(Text);
  FNotice->show();
}

void TPlayerWindow::ShowState() {
  QString text;
  if (!FFailure.isEmpty() && (FStatus == vpClosed || FStatus == vpOpening))
    text = FStatus == vpOpening && FReconnecting ? "Trying again: " + FFailure : FFailure;
  else
    text = QString::fromStdString(StateText(FStatus));
  if (FFailure.isEmpty() && !FAddress.isEmpty() && FStatus != vpClosed) text += "  " + Title();
  FStatusText->setText(text);
}

// ---- Window events ----

void TPlayerWindow::dragEnterEvent(QDragEnterEvent* Event) {
  if (Event->mimeData()->hasUrls() || Event->mimeData()->hasText()) Event->acceptProposedAction();
}

void TPlayerWindow::dropEvent(QDropEvent* Event) {
  const QMimeData* mime = Event->mimeData();
  QString address;
  if (mime->hasUrls() && !mime->urls().isEmpty()) {
    const QUrl url = mime->urls().first();
    address = url.isLocalFile() ? url.toLocalFile() : url.toString();
  } else if (mime->hasText()) {
    address = mime->text().section('\n', 0, 0).trimmed();
  }
  if (address.isEmpty()) return;
  Event->acceptProposedAction();
  OpenAddress(address);
}

void TPlayerWindow::closeEvent(QCloseEvent* Event) {
  if (FWindowFullScreen) ToggleWindowFullScreen();
  FSettings.setValue(kGeometryKey, saveGeometry());
  FSettings.sync();
  if (FNotice) FNotice->close();
  Event->accept();
}

bool TPlayerWindow::eventFilter(QObject* Watched, QEvent* Event) {
  // A double click on the picture is the window's full screen, not the control's display mode.
  if (Event->type() == QEvent::MouseButtonDblClick && FControlWidget && Watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(Watched);
    if (widget == FControlWidget || FControlWidget->isAncestorOf(widget)) {
      ToggleWindowFullScreen();
      return true;
    }
  }
  return QMainWindow::eventFilter(Watched, Event);
}

}  // namespace kyv::player
