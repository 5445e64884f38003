#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kyv {

// An auto-reset event: Set releases one waiter (or the next one to wait), then resets itself.
class TEvent {
 public:
  explicit TEvent(bool initiallySet = false) : FSet(initiallySet) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void Set();
  void Reset();
  void Wait();
  // True when the event was set within the time; it is then reset.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FSet;  // guarded by FLock
};

}  // namespace kyv
