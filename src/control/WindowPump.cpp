#include "control/WindowPump.h"

#include <utility>

namespace kyv {

TWindowPump::TWindowPump() = default;

TWindowPump::~TWindowPump() {
  FWindow.Queue().SetWakeUp(nullptr);
}

void TWindowPump::SetWakeUp(std::function<void()> WakeUp) {
  FWakeUp = std::move(WakeUp);
  if (!FWakeUp) {
    FWindow.Queue().SetWakeUp(nullptr);
    return;
  }
  // The queue's copy runs on the posting threads; only the first post of a burst passes on.
  FWindow.Queue().SetWakeUp([this, wakeUp = FWakeUp] {
    if (!FDrainAsked.exchange(true, std::memory_order_acq_rel)) wakeUp();
  });
  Rearm();
}

bool TWindowPump::Drain(const THandler& Handle, const std::function<bool()>& Until) {
  if (FDraining) return false;
  FDraining = true;
  struct TLeave {
    TWindowPump& Pump;
    ~TLeave() {
      Pump.FDraining = false;
      Pump.Rearm();
    }
  } leave{*this};
  TMessage message;
  while (FWindow.Queue().Peek(message)) {
    Handle(message);
    if (Until && Until()) break;
  }
  return true;
}

void TWindowPump::Rearm() {
  // Cleared before the queue is looked at: a post after this point wakes the host itself, and
  // one before it left its message where Count sees it.
  FDrainAsked.store(false, std::memory_order_seq_cst);
  if (!FWakeUp || FWindow.Queue().Count() == 0) return;
  if (!FDrainAsked.exchange(true, std::memory_order_acq_rel)) FWakeUp();
}

bool TWindowPump::Wait(std::chrono::milliseconds Timeout) {
  return FWindow.Queue().WaitFor(Timeout);
}

bool TWindowPump::Take(TMessage& Message, UINT First, UINT Last) {
  return FWindow.Queue().Peek(Message, First, Last, true);
}

size_t TWindowPump::Drop(UINT First, UINT Last) {
  size_t count = 0;
  TMessage message;
  while (FWindow.Queue().Peek(message, First, Last, true)) ++count;
  return count;
}

}  // namespace kyv
