#include "ui/NailsLayout.h"

#include <sys/resource.h>
#include <unistd.h>

#include "context/UserMessages.h"
#include "platform/Clock.h"

namespace kyv {
namespace {

// The event is polled in slices so that a manual clock in tests, and the end of the thread, are
// noticed promptly.
constexpr std::chrono::milliseconds kSlice{10};

}  // namespace

TNailsLayout::TNailsLayout(HWND Wnd, TEvent& LayoutEvent, uint32_t GiveUpMs)
    : FWnd(Wnd), FLayoutEvent(LayoutEvent), FGiveUpMs(GiveUpMs) {}

bool TNailsLayout::WaitForStep(uint32_t Start) {
  while (!FLayoutEvent.WaitFor(kSlice)) {
    if (Terminated()) return false;
    if (timeGetTime() - Start >= FGiveUpMs) break;
  }
  return true;
}

void TNailsLayout::Execute() {
  // The lowest priority: on Linux a thread's nice value is its own. Failure is harmless.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
  TMessage message;
  while (Queue().Get(message)) {
    if (message.Msg != UM_RELAYOUT) continue;
    WPARAM count = message.WParam;
    for (WPARAM index = 1; index < count; ++index) {
      TMessage next;
      if (Queue().Peek(next)) {
        if (next.Msg != UM_RELAYOUT) return;
        count = next.WParam;
        index = 0;  // the loop's increment starts the new pass at 1
        continue;
      }
      ++FSteps;
      const uint32_t start = timeGetTime();
      // Nobody answers for a window that is gone: no point waiting.
      if (!PostMessage(FWnd, UM_NAILS_LAYOUT, index, 0)) continue;
      if (!WaitForStep(start)) return;
    }
  }
}

}  // namespace kyv
