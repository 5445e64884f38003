#include "platform/Window.h"

#include <mutex>
#include <unordered_map>

namespace kyv {

namespace {

struct TWindowRegistry {
  std::mutex Lock;
  std::unordered_map<HWND, std::shared_ptr<TMessageQueue>> Queues;  // guarded by Lock
  HWND Next = 1;                                                     // guarded by Lock; 0 is no window
};

TWindowRegistry& Registry() {
  static TWindowRegistry registry;
  return registry;
}

std::shared_ptr<TMessageQueue> Find(HWND wnd) {
  auto& reg = Registry();
  std::lock_guard lock(reg.Lock);
  auto it = reg.Queues.find(wnd);
  return it == reg.Queues.end() ? nullptr : it->second;
}

}  // namespace

TWindow::TWindow() : FQueue(std::make_shared<TMessageQueue>()) {
  auto& reg = Registry();
  std::lock_guard lock(reg.Lock);
  // Handles are not reused soon, so a stale handle does not reach a newer window.
  while (reg.Next == 0 || reg.Queues.contains(reg.Next)) ++reg.Next;
  FHandle = reg.Next++;
  reg.Queues.emplace(FHandle, FQueue);
}

TWindow::~TWindow() {
  {
    auto& reg = Registry();
    std::lock_guard lock(reg.Lock);
    reg.Queues.erase(FHandle);
  }
  FQueue->Close();
}

bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto queue = Find(wnd);
  return queue != nullptr && queue->Post(msg, wParam, lParam);
}

bool IsWindow(HWND wnd) { return Find(wnd) != nullptr; }

}  // namespace kyv
