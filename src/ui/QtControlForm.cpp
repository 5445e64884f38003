#include "ui/QtControlForm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>

#include "control/KyvPlayerEvents.h"
#include "control/PlayerControl.h"
#include "platform/System.h"
#include "ui/ControlApplication.h"
#include "ui/OwnerHold.h"

namespace kyv {

std::unique_ptr<IControlForm> TQtControlForm::Make(TPlayerControl& Control,
                                                   const TKyvPlayerEvents& Events) {
  EnsureControlApplication();
  return std::make_unique<TQtControlForm>(Control, Events);
}

TQtControlForm::TQtControlForm(TPlayerControl& Control, const TKyvPlayerEvents& Events)
    : FControl(Control), FEvents(Events), FCtrl(new TKyvPlayerCtrl(Control, Events)) {
  FTimer.setSingleShot(true);
  FTimer.setObjectName("timControl");
  QObject::connect(&FTimer, &QTimer::timeout, &FReceiver, [this] { RunTimers(); });
  // The control goes on without views; the host hears of it.
  FCtrl->OnDestroying = [this] {
    // Forgotten first: a host releasing the control in OnDestroy must not see this widget again
    // (GetWidget) nor have the form delete it a second time.
    FCtrl = nullptr;
    FControl.SetViews(nullptr);
    FEvents.OnDestroy();
  };
  FControl.SetViews(FCtrl.data());
  FControl.SetWakeUp([this] {
    QMetaObject::invokeMethod(
        &FReceiver, [this] { Drain(); }, Qt::QueuedConnection);
  });
  FControl.SetTimerRequest([this](uint32_t DelayMs) { FTimer.start(static_cast<int>(DelayMs)); });

  if (!FControl.CacheFailure().empty()) {
    // Not modal: the host's page goes on, and the control works without its cache folder.
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("File"),
                                QString::fromStdString(FControl.CacheFailure()), QMessageBox::Ok,
                                FCtrl.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  }
}

TQtControlForm::~TQtControlForm() {
  Unhook();
  if (FCtrl) {
    FCtrl->OnDestroying = nullptr;
    delete FCtrl.data();
  }
}

void TQtControlForm::Unhook() {
  FControl.SetViews(nullptr);
  FControl.SetWakeUp({});  // returns once no worker runs the wake-up any more
  FControl.SetTimerRequest({});
  FTimer.stop();
}

void TQtControlForm::SetOwner(IUnknown* Owner) {
  FOwner = Owner;
  if (FCtrl) FCtrl->SetOwner(Owner);
}

void TQtControlForm::Drain() {
  const TOwnerHold hold(FOwner);
  try {
    FControl.Drain();
  } catch (const std::exception& e) {
    // Qt's loop has nobody to hand this to; the control stays usable.
    OutputDebugString(std::string("KyvPlayer: a window message failed: ") + e.what());
  }
}

void TQtControlForm::RunTimers() {
  const TOwnerHold hold(FOwner);
  try {
    FControl.RunTimers();
  } catch (const std::exception& e) {
    OutputDebugString(std::string("KyvPlayer: a timer failed: ") + e.what());
  }
}

bool TQtControlForm::RunEvents(std::chrono::milliseconds Timeout) {
  if (Timeout.count() <= 0) {
    QCoreApplication::processEvents();
    return true;
  }
  QEventLoop loop;
  QTimer::singleShot(Timeout, &loop, &QEventLoop::quit);
  loop.exec();
  return true;
}

// The properties: the widget's while it exists.

bool TQtControlForm::Visible() const {
  if (!FCtrl) return TKeptControlForm::Visible();
  // The property, not whether it is on screen: visible unless the host hid it.
  return !FCtrl->isHidden() || !FCtrl->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

void TQtControlForm::SetVisible(bool Value) {
  TKeptControlForm::SetVisible(Value);
  if (FCtrl) FCtrl->setVisible(Value);
}

std::u16string TQtControlForm::Caption() const {
  return FCtrl ? FCtrl->windowTitle().toStdU16String() : TKeptControlForm::Caption();
}

void TQtControlForm::SetCaption(const std::u16string& Value) {
  TKeptControlForm::SetCaption(Value);
  if (FCtrl) FCtrl->setWindowTitle(QString::fromStdU16String(Value));
}

OLE_COLOR TQtControlForm::Color() const {
  return FCtrl ? FCtrl->Color() : TKeptControlForm::Color();
}

void TQtControlForm::SetColor(OLE_COLOR Value) {
  TKeptControlForm::SetColor(Value);
  if (FCtrl) FCtrl->SetColor(Value);
}

bool TQtControlForm::KeyPreview() const {
  return FCtrl ? FCtrl->KeyPreview() : TKeptControlForm::KeyPreview();
}

void TQtControlForm::SetKeyPreview(bool Value) {
  TKeptControlForm::SetKeyPreview(Value);
  if (FCtrl) FCtrl->SetKeyPreview(Value);
}

bool TQtControlForm::Active() const {
  return FCtrl && FCtrl->isActiveWindow();
}

bool TQtControlForm::Enabled() const {
  return FCtrl ? FCtrl->isEnabled() : TKeptControlForm::Enabled();
}

void TQtControlForm::SetEnabled(bool Value) {
  TKeptControlForm::SetEnabled(Value);
  if (FCtrl) FCtrl->setEnabled(Value);
}

int16_t TQtControlForm::Cursor() const {
  return FCtrl ? FCtrl->CursorNumber() : TKeptControlForm::Cursor();
}

void TQtControlForm::SetCursor(int16_t Value) {
  TKeptControlForm::SetCursor(Value);
  if (FCtrl) FCtrl->SetCursorNumber(Value);
}

void* TQtControlForm::Widget() {
  return static_cast<QWidget*>(FCtrl.data());
}

IPlayerViews* TQtControlForm::Views() {
  return FCtrl.data();
}

}  // namespace kyv
