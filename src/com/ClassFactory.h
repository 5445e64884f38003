#pragma once

#include <new>

#include "com/ComObject.h"
#include "com/ComPtr.h"

namespace kyv::com {

// The class factory of a component class T (a TComObject with a default constructor). Locks
// count with the module's objects, for DllCanUnloadNow. Any thread.
template <class T>
class TClassFactory : public TComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      TComPtr<T> object = MakeCom<T>();
      return object->QueryInterface(riid, ppvObject);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
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
};

// DllGetClassObject's work for a module with the one class Clsid implemented by T.
template <class T>
HRESULT GetClassObject(REFCLSID Requested, const CLSID& Clsid, REFIID Iid, void** Object) {
  if (Object == nullptr) return E_POINTER;
  *Object = nullptr;
  if (!IsEqualGUID(Requested, Clsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) TClassFactory<T>;
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(Iid, Object);
  factory->Release();
  return result;
}

}  // namespace kyv::com
