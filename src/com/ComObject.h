#pragma once

#include <atomic>
#include <tuple>

#include "com/Interfaces.h"

namespace kyv::com {

// Objects and server locks alive in this module (each component library has its own count):
// what DllCanUnloadNow asks.
inline std::atomic<long>& ModuleLocks() noexcept {
  static std::atomic<long> count{0};
  return count;
}

// Reference counting and QueryInterface for a class that implements the interfaces Is. The
// first interface gives the object's identity: asked for IUnknown, it is that one's pointer
// that comes back. An object starts with one reference, which MakeCom (com/ComPtr.h) hands to
// its caller, and is freed by its last Release. The count is atomic, so references may be taken
// and dropped on any thread; what else the object allows on which thread its class says.
template <class... Is>
class TComObject : public Is... {
  static_assert(sizeof...(Is) > 0, "an object implements at least one interface");

 public:
  HRESULT QueryInterface(REFIID Iid, void** Object) override {
    if (Object == nullptr) return E_POINTER;
    *Object = nullptr;
    // The first interface that answers wins, so IUnknown always yields the same pointer.
    (void)((Answers<Is>(Iid) ? (*Object = static_cast<Is*>(this), true) : false) || ...);
    if (*Object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  TComObject() { ModuleLocks().fetch_add(1, std::memory_order_relaxed); }
  virtual ~TComObject() { ModuleLocks().fetch_sub(1, std::memory_order_relaxed); }
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  // The object's own IUnknown.
  IUnknown* Identity() noexcept {
    using First = std::tuple_element_t<0, std::tuple<Is...>>;
    return static_cast<First*>(this);
  }

 private:
  std::atomic<ULONG> FRefCount{1};
};

}  // namespace kyv::com
