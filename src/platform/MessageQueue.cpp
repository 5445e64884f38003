#include "platform/MessageQueue.h"

#include <algorithm>

namespace kyv {

bool TMessageQueue::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
  std::function<void()> wakeUp;
  {
    std::lock_guard lock(FLock);
    if (FClosed || FMessages.size() >= FCapacity) return false;
    FMessages.push_back({msg, wParam, lParam});
    wakeUp = FWakeUp;
  }
  FArrived.notify_one();
  if (wakeUp) wakeUp();
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
  std::lock_guard lock(FLock);
  FClosed = true;
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
  std::lock_guard lock(FLock);
  FWakeUp = std::move(wakeUp);
}

}  // namespace kyv
