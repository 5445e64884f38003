#include "platform/Thread.h"

#include <exception>

#include "platform/Errors.h"
#include "platform/System.h"

namespace kyv {

void TThreadStopper::operator()(TThread* thread) const {
  if (thread == nullptr) return;
  thread->Terminate();
  thread->WaitFor();
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

bool SafePostThreadMessage(TThread& thread, UINT msg, WPARAM wParam, LPARAM lParam) {
  using namespace std::chrono_literals;
  for (;;) {
    if (thread.Queue().Post(msg, wParam, lParam)) return true;
    if (thread.WaitFor(10ms)) return false;
  }
}

}  // namespace kyv
