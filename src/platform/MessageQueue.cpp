#include "platform/MessageQueue.h"

#include <algorithm>
#include <utility>

namespace kyv {

TMessageQueue::~TMessageQueue() {
  std::unique_lock lock(FLock);
  FWakeUpsDone.wait(lock, [this] { return FWakeUp.use_count() <= 1; });
}

bool TMessageQueue::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<const std::function<void()>> wakeUp;
  {
    std::lock_guard lock(FLock);
    if (FClosed || (FMessages.size() >= FCapacity && msg != WM_QUIT)) return false;
    FMessages.push_back({msg, wParam, lParam});
    // Notified under the lock: the owner may free the queue as soon as it has taken the message.
    FArrived.notify_one();
    wakeUp = FWakeUp;
  }
  if (!wakeUp) return true;
  const auto release = [&] {
    std::lock_guard lock(FLock);
    wakeUp.reset();
    FWakeUpsDone.notify_all();
  };
  try {
    (*wakeUp)();
  } catch (...) {
    release();
    throw;
  }
  release();
  return true;
}

bool TMessageQueue::Get(TMessage& out) {
  std::unique_lock lock(FLock);
  FArrived.wait(lock, [this] { return !FMessages.empty(); });
  out = FMessages.front();
  FMessages.pop_front();
  return out.Msg != WM_QUIT;
}

bool TMessageQueue::TakeFirst(TMessage& out, UINT first, UINT last, bool remove) {
  const bool any = first == 0 && last == 0;
  auto it = std::find_if(FMessages.begin(), FMessages.end(), [&](const TMessage& m) {
    return any || (m.Msg >= first && m.Msg <= last);
  });
  if (it == FMessages.end()) return false;
  out = *it;
  if (remove) FMessages.erase(it);
  return true;
}

bool TMessageQueue::Peek(TMessage& out, UINT first, UINT last, bool remove) {
  std::lock_guard lock(FLock);
  return TakeFirst(out, first, last, remove);
}

bool TMessageQueue::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FLock);
  return FArrived.wait_for(lock, timeout, [this] { return !FMessages.empty(); });
}

void TMessageQueue::Close() {
  std::shared_ptr<const std::function<void()>> wakeUp;  // freed after the lock is released
  std::unique_lock lock(FLock);
  FClosed = true;
  wakeUp = std::move(FWakeUp);
  FWakeUpsDone.wait(lock, [&] { return wakeUp.use_count() <= 1; });
}

bool TMessageQueue::Closed() const {
  std::lock_guard lock(FLock);
  return FClosed;
}

size_t TMessageQueue::Count() const {
  std::lock_guard lock(FLock);
  return FMessages.size();
}

void TMessageQueue::SetWakeUp(std::function<void()> wakeUp) {
  std::shared_ptr<const std::function<void()>> previous;  // freed after the lock is released
  auto next = wakeUp ? std::make_shared<const std::function<void()>>(std::move(wakeUp)) : nullptr;
  std::unique_lock lock(FLock);
  previous = std::exchange(FWakeUp, std::move(next));
  FWakeUpsDone.wait(lock, [&] { return previous.use_count() <= 1; });
}

}  // namespace kyv
