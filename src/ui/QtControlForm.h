#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "control/ControlForm.h"
#include "ui/KyvPlayerCtrl.h"

namespace kyv {

// The control's form in Qt: it makes the form widget (TKyvPlayerCtrl) as the control's views,
// drains the control's window on the Qt thread when a worker's post wakes it, and runs the
// control's timers on a single-shot QTimer set to each delay the control asks for. The form
// properties are those of the widget; the ones Qt has no use for are kept values.
//
// The wake-up is one queued call per burst of posts (the window asks for it once until it has
// been drained). A drain that a nested event loop starts inside another is refused by the
// window and the running one goes on, so nothing is handled twice or out of order.
//
// The host may delete the widget (a parent window of its own takes it down): the form then
// raises OnDestroy, the control draws into nothing more, and the properties fall back to kept
// values. When the form goes first it deletes the widget itself, and raises nothing.
//
// Threads: made, used and destroyed on the thread of the Qt application; the wake-up runs on
// the posting worker's thread and only posts.
class TQtControlForm final : public TKeptControlForm {
 public:
  TQtControlForm(TPlayerControl& Control, const TKyvPlayerEvents& Events);
  ~TQtControlForm() override;
  TQtControlForm(const TQtControlForm&) = delete;
  TQtControlForm& operator=(const TQtControlForm&) = delete;

  // The factory the control library hands to its component objects; makes the Qt application
  // first when the process has none (EnsureControlApplication).
  static std::unique_ptr<IControlForm> Make(TPlayerControl& Control,
                                            const TKyvPlayerEvents& Events);

  bool Visible() const override;
  void SetVisible(bool Value) override;
  std::u16string Caption() const override;
  void SetCaption(const std::u16string& Value) override;
  OLE_COLOR Color() const override;
  void SetColor(OLE_COLOR Value) override;
  bool KeyPreview() const override;
  void SetKeyPreview(bool Value) override;
  bool Active() const override;
  bool Enabled() const override;
  void SetEnabled(bool Value) override;
  int16_t Cursor() const override;
  void SetCursor(int16_t Value) override;

  void SetOwner(IUnknown* Owner) override;
  void* Widget() override;
  IPlayerViews* Views() override;
  bool RunEvents(std::chrono::milliseconds Timeout) override;

  // Null once the host deleted it.
  TKyvPlayerCtrl* Ctrl() const noexcept { return FCtrl.data(); }
  // The timer that runs the control's timers, and the object the wake-ups call.
  QTimer& Timer() noexcept { return FTimer; }
  QObject& Receiver() noexcept { return FReceiver; }

 private:
  void Drain();
  void RunTimers();
  void Unhook();

  TPlayerControl& FControl;
  const TKyvPlayerEvents& FEvents;
  QObject FReceiver;  // the queued drains go to it; they die with it
  QTimer FTimer;
  QPointer<TKyvPlayerCtrl> FCtrl;
  IUnknown* FOwner = nullptr;  // the component; held while the control runs (TOwnerHold)
};

}  // namespace kyv
