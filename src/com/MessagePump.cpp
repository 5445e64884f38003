#include <chrono>
#include <thread>

#include "kyv/kyvcom.h"

namespace {

// The calling thread's dispatcher, set by the component whose objects live on that thread.
thread_local KyvMessageDispatcher tDispatcher = nullptr;
thread_local void* tContext = nullptr;

}  // namespace

extern "C" {

HRESULT CoRegisterMessageDispatcher(KyvMessageDispatcher dispatcher, void* context) {
  tDispatcher = dispatcher;
  tContext = dispatcher != nullptr ? context : nullptr;
  return S_OK;
}

HRESULT CoPumpMessages(int32_t timeoutMs) {
  if (tDispatcher != nullptr) return tDispatcher(tContext, timeoutMs);
  // Nothing to run: a bounded wait still waits, so a host's loop keeps its pace; an unbounded
  // one would never end.
  if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  return S_FALSE;
}

}  // extern "C"
