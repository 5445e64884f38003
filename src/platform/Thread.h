#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/MessageQueue.h"

namespace kyv {

class TThread;

// Deleting a thread object first asks its thread to end and joins it, so no thread ever runs on a
// half-destroyed object.
struct TThreadStopper {
  void operator()(TThread* thread) const;
};

template <class T>
using TThreadPtr = std::unique_ptr<T, TThreadStopper>;

// A worker thread with its own message queue. Derived classes implement Execute; TThread::Create
// starts the thread only after the most-derived constructor has finished.
class TThread {
 public:
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  template <class T, class... Args>
  static TThreadPtr<T> Create(Args&&... args) {
    TThreadPtr<T> thread(new T(std::forward<Args>(args)...));
    thread->Start();
    return thread;
  }

  // Any thread: sets the terminate flag and posts WM_QUIT so that a waiting message loop wakes.
  void Terminate();
  bool Terminated() const { return FTerminated.load(); }

  // Any thread but this one: waits for the thread to end and joins it.
  void WaitFor();
  // Any thread: true when the thread has ended within the time (it is not joined).
  bool WaitFor(std::chrono::milliseconds timeout);
  bool Finished() const { return FFinished.load(); }

  // Any thread but this one: asks the thread to end and joins it. Every destructor of a class
  // whose thread uses its members calls it first, so the thread never runs on fields already
  // gone; a thread that has ended is only joined.
  void StopAndWait();
  // Any thread but this one: asks the thread to end and waits at most LimitMs of the platform
  // clock. True when it ended (it is then joined); false when it is still stuck in a call, and
  // the caller, which should log that, goes on: the thread is joined when its object goes.
  bool StopAndWaitFor(uint32_t LimitMs);

  TMessageQueue& Queue() { return FQueue; }

 protected:
  // A small capacity lets a worker refuse requests early; WM_QUIT always gets through.
  explicit TThread(size_t queueCapacity = TMessageQueue::kDefaultCapacity)
      : FQueue(queueCapacity) {}
  // The thread's body; a failure escaping it is reported on the debugger output.
  virtual void Execute() = 0;

 private:
  void Start();
  void Run();

  TMessageQueue FQueue;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::mutex FFinishLock;
  std::condition_variable FFinishedChanged;
  std::mutex FJoinLock;
  std::thread FThread;                 // guarded by FJoinLock once started
  std::atomic<std::thread::id> FId{};  // set by the thread itself as it starts
};

// Posts a request to a worker; while the post fails (a full queue) waits up to 10 ms for the
// thread to end and tries again. False as soon as the thread has ended, and when the queue has
// stayed full for kSafePostLimitMs (the request is then dropped, as if the thread had gone); true
// once posted.
inline constexpr uint32_t kSafePostLimitMs = 5000;
bool SafePostThreadMessage(TThread& thread, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// The same with a deadline of LimitMs on the platform clock: false also when the queue stayed
// full for that long, and the request is then dropped. For posts from one worker to another that
// may itself be waiting for the poster (a reader posting into the play thread's queue while the
// play thread waits for that reader to stop): the caller treats false as a request not made.
bool SafePostThreadMessageFor(TThread& thread, uint32_t LimitMs, UINT msg, WPARAM wParam = 0,
                              LPARAM lParam = 0);

// Calls Slice with waits of at most kBoundedWaitSlice until it returns true (then true), or
// until LimitMs of the platform clock have passed (then false). The platform clock, not the wall
// clock, bounds it, so tests move a stuck wait past its limit by hand.
inline constexpr std::chrono::milliseconds kBoundedWaitSlice{10};
bool WaitBounded(uint32_t LimitMs, const std::function<bool(std::chrono::milliseconds)>& Slice);

}  // namespace kyv
