#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "TestCalc.h"
#include "com/ComObject.h"
#include "com/ConnectionPoint.h"
#include "com/TypeData.h"
#include "com/TypedDispatch.h"

namespace kyv::com {
template <>
struct TInterfaceTraits<ITestCalc> {
  using Base = IDispatch;
  static const IID& Iid() noexcept { return IID_ITestCalc; }
};
}  // namespace kyv::com

namespace kyv::test {

// The library of the test interface and its events.
const com::TLibraryData& TestCalcLibrary() noexcept;

// ITestCalc through the generic dispatcher, with a connection point for its events. Calls
// counts every member call, however it arrived. Members may be called on any thread.
class TTestCalc : public com::TComObject<ITestCalc, IConnectionPointContainer> {
 public:
  TTestCalc();

  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  HRESULT get_Name(BSTR* Value) override;
  HRESULT put_Name(BSTR Value) override;
  HRESULT Add(int32_t A, int32_t B, int32_t* Sum) override;
  HRESULT get_Flag(VARIANT_BOOL* Value) override;
  HRESULT put_Flag(VARIANT_BOOL Value) override;
  HRESULT Fail(BSTR Message) override;
  HRESULT Fire(int32_t Value) override;
  HRESULT get_Big(int64_t* Value) override;
  HRESULT put_Big(int64_t Value) override;
  HRESULT Scale(int16_t Factor, int32_t* Result) override;

  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  std::atomic<int> Calls{0};

 private:
  const com::TTypedDispatch FDispatch;
  com::TConnectionPoint FEvents;
  std::mutex FLock;
  std::u16string FName;    // guarded by FLock
  VARIANT_BOOL FFlag = 0;  // guarded by FLock
  int64_t FBig = 0;        // guarded by FLock
  int16_t FKey = 1;        // guarded by FLock
};

}  // namespace kyv::test
