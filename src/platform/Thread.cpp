#include "platform/Thread.h"

#include <exception>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/System.h"

namespace kyv {

void TThreadStopper::operator()(TThread* thread) const {
  if (thread == nullptr) return;
  thread->StopAndWait();
  delete thread;
}

TThread::~TThread() {
  // Owners stop threads through TThreadStopper; joining here is the last line of defence.
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
  if (FThread.joinable()) FThread.detach();
}

void TThread::Start() {
  FThread = std::thread(&TThread::Run, this);
}

void TThread::Run() {
  FId.store(std::this_thread::get_id());
  try {
    Execute();
  } catch (const std::exception& e) {
    OutputDebugString(std::string("unhandled failure in a worker thread: ") + e.what());
  } catch (...) {
    OutputDebugString("unhandled failure in a worker thread");
  }
  FQueue.Close();
  {
    std::lock_guard lock(FFinishLock);
    FFinished.store(true);
  }
  FFinishedChanged.notify_all();
}

void TThread::Terminate() {
  FTerminated.store(true);
  FQueue.Post(WM_QUIT);
}

void TThread::WaitFor() {
  // Checked before taking the lock, which another thread may hold while it joins this one.
  KYV_ASSERT(FId.load() != std::this_thread::get_id());
  std::lock_guard lock(FJoinLock);
  if (FThread.joinable()) FThread.join();
}

bool TThread::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FFinishLock);
  return FFinishedChanged.wait_for(lock, timeout, [this] { return FFinished.load(); });
}

void TThread::StopAndWait() {
  if (!Finished()) Terminate();
  WaitFor();
}

bool TThread::StopAndWaitFor(uint32_t LimitMs) {
  if (!Finished()) Terminate();
  if (!WaitBounded(LimitMs, [this](std::chrono::milliseconds slice) { return WaitFor(slice); }))
    return false;
  WaitFor();
  return true;
}

bool WaitBounded(uint32_t LimitMs, const std::function<bool(std::chrono::milliseconds)>& Slice) {
  const uint32_t start = timeGetTime();
  for (;;) {
    if (Slice(kBoundedWaitSlice)) return true;
    if (timeGetTime() - start >= LimitMs) return false;
  }
}

bool SafePostThreadMessageFor(TThread& thread, uint32_t LimitMs, UINT msg, WPARAM wParam,
                              LPARAM lParam) {
  bool ended = false;
  const bool posted = WaitBounded(LimitMs, [&](std::chrono::milliseconds slice) {
    if (thread.Queue().Post(msg, wParam, lParam)) return true;
    ended = thread.WaitFor(slice);
    return ended;
  });
  return posted && !ended;
}

bool SafePostThreadMessage(TThread& thread, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SafePostThreadMessageFor(thread, kSafePostLimitMs, msg, wParam, lParam);
}

}  // namespace kyv
