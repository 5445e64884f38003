#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "platform/Messages.h"
#include "platform/Window.h"

namespace kyv {

// The control's window with the loop that empties it. Workers post to Handle() from any thread;
// the host's thread drains when it is woken. The wake-up is called at most once per burst of
// posts: the first post after a drain calls it, later ones find a drain already asked for, so a
// toolkit's event loop receives one event for a thousand changed rectangles, not a thousand.
//
// A drain refuses to run inside another (a handler that opens a modal loop, which drains again):
// the nested call returns false at once, and the running drain takes what arrives meanwhile.
//
// Threads: SetWakeUp, Drain, Wait and Drop run on the host's thread (the one that made the pump);
// the wake-up itself runs on whichever thread posted and must only schedule a drain, never wait
// for the host's thread. FDraining and FWakeUp are the host thread's; FDrainAsked is atomic.
class TWindowPump {
 public:
  using THandler = std::function<void(const TMessage& Message)>;

  TWindowPump();
  ~TWindowPump();  // no wake-up runs any more on return; later posts fail
  TWindowPump(const TWindowPump&) = delete;
  TWindowPump& operator=(const TWindowPump&) = delete;

  HWND Handle() const { return FWindow.Handle(); }

  // Installs the host's wake-up (an empty one removes it). Messages already waiting call it once.
  void SetWakeUp(std::function<void()> WakeUp);

  // Hands every waiting message, oldest first, to Handle, which may take further waiting
  // messages itself (Take). Stops early, leaving the rest queued, once Until returns true after
  // a message. A failure escaping Handle leaves the drain and the rest queued. Whenever
  // messages are left behind, the wake-up is called again. False, with nothing handled, when a
  // drain is already running on this thread.
  bool Drain(const THandler& Handle, const std::function<bool()>& Until = {});

  // For hosts without an event loop: waits up to Timeout for a message; true when one waits.
  bool Wait(std::chrono::milliseconds Timeout);

  // Removes the first waiting message numbered First to Last (inclusive); false when none.
  bool Take(TMessage& Message, UINT First, UINT Last);
  // Removes every waiting message numbered First to Last; returns how many.
  size_t Drop(UINT First, UINT Last);
  bool Draining() const noexcept { return FDraining; }

 private:
  // After a drain: a post that came in while it ran must not find the flag still set, or the
  // host would never be woken again; messages left behind get a wake-up of their own.
  void Rearm();

  std::function<void()> FWakeUp;
  std::atomic<bool> FDrainAsked{false};
  bool FDraining = false;
  // Last: it goes first, and its queue waits for wake-up calls still running, which use the
  // fields above.
  TWindow FWindow;
};

}  // namespace kyv
