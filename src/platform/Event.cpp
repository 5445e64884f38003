#include "platform/Event.h"

namespace kyv {

void TEvent::Set() {
  // Notified under the lock: a waiter may free the event as soon as its wait returns.
  std::lock_guard lock(FLock);
  FSet = true;
  FChanged.notify_one();
}

void TEvent::Reset() {
  std::lock_guard lock(FLock);
  FSet = false;
}

void TEvent::Wait() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FSet; });
  FSet = false;
}

bool TEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FLock);
  if (!FChanged.wait_for(lock, timeout, [this] { return FSet; })) return false;
  FSet = false;
  return true;
}

}  // namespace kyv
