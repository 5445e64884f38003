#pragma once

#include <chrono>
#include <cstdint>

#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Window.h"

namespace kyv {

// Re-places the thumbnails of a strip one at a time after its width changed, at the lowest
// priority, without touching them: for each index from 1 it posts UM_NAILS_LAYOUT to the
// control's window, whose thread re-places that thumbnail and then sets the layout event; it
// gives a step up after GiveUp of the platform clock. UM_RELAYOUT (wParam: the thumbnail count)
// starts a pass; one arriving during a pass restarts it with its count, any other message
// arriving during a pass ends the thread. Between passes only WM_QUIT ends it.
class TNailsLayout : public TThread {
 public:
  static constexpr uint32_t kGiveUpMs = 2000;

  // UI thread. LayoutEvent belongs to the strip and outlives this thread.
  TNailsLayout(HWND Wnd, TEvent& LayoutEvent, uint32_t GiveUpMs = kGiveUpMs);

  // Any thread: UM_NAILS_LAYOUT posts made so far, for tests and statistics.
  uint32_t Steps() const noexcept { return FSteps.load(); }

 protected:
  void Execute() override;

 private:
  // Waits for the event, the give-up time counted from Start, or the end of the thread; false
  // for the end.
  bool WaitForStep(uint32_t Start);

  const HWND FWnd;
  TEvent& FLayoutEvent;
  const uint32_t FGiveUpMs;
  std::atomic<uint32_t> FSteps{0};
};

}  // namespace kyv
