#pragma once

#include "com/ComObject.h"

namespace kyv::test {

// A sink of the control's events in C++: what a sink needs besides Invoke.
class TSinkBase : public com::TComObject<IDispatch> {
 public:
  HRESULT GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** Info) override {
    *Info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

}  // namespace kyv::test
