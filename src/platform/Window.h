#pragma once

#include <cstdint>
#include <memory>

#include "platform/MessageQueue.h"

namespace kyv {

// A window handle: a number looked up in a process-wide registry, so that a message posted to a
// window that no longer exists fails instead of reaching freed memory.
using HWND = uint32_t;

// The message queue of a window (the control's). Created and destroyed on the UI thread, which
// drains the queue; any thread posts with PostMessage.
class TWindow {
 public:
  TWindow();
  ~TWindow();  // unregisters the handle and closes the queue; no wake-up call outlives it
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND Handle() const { return FHandle; }
  TMessageQueue& Queue() { return *FQueue; }

 private:
  std::shared_ptr<TMessageQueue> FQueue;
  HWND FHandle;
};

// Any thread. False when no window has this handle or its queue refuses the message.
bool PostMessage(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
bool IsWindow(HWND wnd);

}  // namespace kyv
