#pragma once

#include <atomic>

#include "platform/ComTypes.h"

namespace kyv {

// The root of every interface: reference counting and the question for another interface of the
// same object. Objects are freed only by their last Release, never by delete through an
// interface. Each interface names the identifiers it answers to in a static Answers, which
// TComObject uses to answer QueryInterface.
class IUnknown {
 public:
  static constexpr IID kIid = IID_IUnknown;
  static bool Answers(const IID& Iid) noexcept { return Iid == IID_IUnknown; }

  // On success *Object holds the interface with a new reference; otherwise it is null and the
  // result is E_NOINTERFACE (E_POINTER when Object is null).
  virtual HRESULT QueryInterface(const IID& Iid, void** Object) = 0;
  // Both return the new count, for diagnostics only.
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Reference counting and QueryInterface for a class that implements the interfaces Is (each an
// IUnknown descendant). The first interface gives the object's identity: asked for IUnknown, it
// is that one's pointer that comes back. An object starts with one reference, which MakeCom
// (platform/ComPtr.h) hands to its caller. The count is atomic, so references may be taken and
// dropped on any thread; what else the object allows on which thread its class says.
template <class... Is>
class TComObject : public Is... {
  static_assert(sizeof...(Is) > 0, "an object implements at least one interface");

 public:
  HRESULT QueryInterface(const IID& Iid, void** Object) override {
    if (Object == nullptr) return E_POINTER;
    *Object = nullptr;
    // The first interface that answers wins, so IUnknown always yields the same pointer.
    (void)((Is::Answers(Iid) ? (*Object = static_cast<Is*>(this), true) : false) || ...);
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
  TComObject() = default;
  virtual ~TComObject() = default;
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

 private:
  std::atomic<ULONG> FRefCount{1};
};

}  // namespace kyv
