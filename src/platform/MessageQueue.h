#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Messages.h"

namespace kyv {

// The message queue of one thread or window: any thread posts, the owner gets and peeks.
// Messages come out in the order they were posted; a range filter picks the first message whose
// number lies in [first, last] (0, 0 means every message).
class TMessageQueue {
 public:
  // Posts beyond this many waiting messages fail, as a thread's queue quota does. WM_QUIT is never
  // refused for a full queue, so that a request to end always reaches the loop.
  static constexpr size_t kDefaultCapacity = 10000;

  explicit TMessageQueue(size_t capacity = kDefaultCapacity) : FCapacity(capacity) {}
  // Waits for wake-up calls still running on other threads.
  ~TMessageQueue();
  TMessageQueue(const TMessageQueue&) = delete;
  TMessageQueue& operator=(const TMessageQueue&) = delete;

  // Any thread. False when the queue is closed or full; the message is then not queued.
  bool Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // Owner thread. Blocks until a message arrives and removes it; false for WM_QUIT.
  bool Get(TMessage& out);

  // Owner thread. The first waiting message in [first, last]; removed when remove is set.
  bool Peek(TMessage& out, UINT first = 0, UINT last = 0, bool remove = true);

  // Owner thread. Waits until a message is waiting or the time has passed; true when one waits.
  bool WaitFor(std::chrono::milliseconds timeout);

  // Any thread but one inside the wake-up. Later posts fail; messages already queued can still be
  // taken. On return no wake-up call runs any more, so the wake-up's target may go.
  void Close();
  bool Closed() const;
  size_t Count() const;

  // Called after every successful post, outside the lock (a window's host schedules its drain).
  // It must not wait for the queue's owner. Any thread but one inside the wake-up; the previous
  // wake-up is no longer running on return.
  void SetWakeUp(std::function<void()> wakeUp);

 private:
  bool TakeFirst(TMessage& out, UINT first, UINT last, bool remove);  // FLock held

  const size_t FCapacity;
  mutable std::mutex FLock;
  std::condition_variable FArrived;
  std::condition_variable FWakeUpsDone;
  std::deque<TMessage> FMessages;  // guarded by FLock
  bool FClosed = false;            // guarded by FLock
  // Guarded by FLock. A post calls its own copy outside the lock and drops it under the lock, so
  // use_count tells whether a call is still running.
  std::shared_ptr<const std::function<void()>> FWakeUp;
};

}  // namespace kyv
