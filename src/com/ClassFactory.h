#pragma once

#include <exception>
#include <new>

#include "com/ComObject.h"
#include "com/ComPtr.h"

namespace kyv::com {

// The class factory of a component class T, whose objects Make creates (by default with T's
// default constructor). A failure becomes E_UNEXPECTED (E_OUTOFMEMORY when memory ran out) with
// its text as the thread's error description. Locks count with the module's objects, for
// DllCanUnloadNow. Any thread, as far as Make allows.
template <class T>
class TClassFactory : public TComObject<IClassFactory> {
 public:
  using TMaker = TComPtr<T> (*)();

  explicit TClassFactory(TMaker Make = &MakeDefault) noexcept : FMake(Make) {}

  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      TComPtr<T> object = FMake();
      return object->QueryInterface(riid, ppvObject);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
      KyvSetErrorText(IID_IClassFactory, nullptr, e.what());
      return E_UNEXPECTED;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT LockServer(int32_t fLock) override {
    if (fLock != 0)
      ModuleLocks().fetch_add(1);
    else
      ModuleLocks().fetch_sub(1);
    return S_OK;
  }

 private:
  static TComPtr<T> MakeDefault() { return MakeCom<T>(); }

  const TMaker FMake;
};

// DllGetClassObject's work for a module with the one class Clsid implemented by T, whose
// objects Make creates.
template <class T>
HRESULT GetClassObject(REFCLSID Requested, const CLSID& Clsid, REFIID Iid, void** Object,
                       typename TClassFactory<T>::TMaker Make = nullptr) {
  if (Object == nullptr) return E_POINTER;
  *Object = nullptr;
  if (!IsEqualGUID(Requested, Clsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = Make != nullptr ? new (std::nothrow) TClassFactory<T>(Make)
                                  : new (std::nothrow) TClassFactory<T>();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(Iid, Object);
  factory->Release();
  return result;
}

}  // namespace kyv::com
