#pragma once

#include <concepts>
#include <cstddef>
#include <utility>

#include "com/Interfaces.h"

namespace kyv::com {

// One counted reference to an interface: taken when the pointer gets it, dropped when it lets
// it go. A TComPtr object itself is not for concurrent use; the object it points to may be.
template <class T>
class TComPtr {
 public:
  TComPtr() noexcept = default;
  TComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to Object (which may be null).
  explicit TComPtr(T* Object) noexcept : FObject(Object) {
    if (FObject != nullptr) FObject->AddRef();
  }
  // Takes over a reference that the caller holds, as a fresh object's first one.
  static TComPtr Adopt(T* Object) noexcept {
    TComPtr result;
    result.FObject = Object;
    return result;
  }

  TComPtr(const TComPtr& Other) noexcept : TComPtr(Other.FObject) {}
  TComPtr(TComPtr&& Other) noexcept : FObject(std::exchange(Other.FObject, nullptr)) {}
  template <class U>
  requires std::convertible_to<U*, T*> TComPtr(const TComPtr<U>& Other)
  noexcept : TComPtr(static_cast<T*>(Other.Get())) {}
  template <class U>
  requires std::convertible_to<U*, T*> TComPtr(TComPtr<U>&& Other)
  noexcept : FObject(Other.Detach()) {}

  TComPtr& operator=(TComPtr Other) noexcept {
    std::swap(FObject, Other.FObject);
    return *this;
  }
  ~TComPtr() { Reset(); }

  T* Get() const noexcept { return FObject; }
  T* operator->() const noexcept { return FObject; }
  T& operator*() const noexcept { return *FObject; }
  explicit operator bool() const noexcept { return FObject != nullptr; }

  // Hands the reference to the caller, who releases it.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(FObject, nullptr); }
  void Reset() noexcept {
    if (T* object = std::exchange(FObject, nullptr)) object->Release();
  }
  // For a call that writes a new reference into a T**: drops the one held first.
  T** Receive() noexcept {
    Reset();
    return &FObject;
  }

  // The same object's interface U, through QueryInterface; null when it has none.
  template <class U>
  TComPtr<U> As() const {
    if (FObject == nullptr) return {};
    void* found = nullptr;
    if (FAILED(FObject->QueryInterface(IidOf<U>(), &found))) return {};
    return TComPtr<U>::Adopt(static_cast<U*>(found));
  }

 private:
  T* FObject = nullptr;
};

// A new object of class T (a TComObject), handed over with its first reference.
template <class T, class... Args>
TComPtr<T> MakeCom(Args&&... args) {
  return TComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace kyv::com
