#include "TestCalcObject.h"

#include "com/Bstr.h"

namespace kyv::test {

namespace {

using com::TFuncData;
using com::TParamData;
using com::TTypeData;
using com::TTypeRef;

using com::kRetval;
constexpr TTypeRef kBool = com::kTypeBool;
constexpr TTypeRef kLong = com::kTypeLong;
constexpr TTypeRef kShort = com::kTypeShort;
constexpr TTypeRef kText = com::kTypeText;
constexpr TTypeRef kBig = com::kTypeInt64;

constexpr TParamData kGetText[] = {{"Value", kText, kRetval}};
constexpr TParamData kPutText[] = {{nullptr, kText, PARAMFLAG_FIN}};
constexpr TParamData kAdd[] = {
    {"A", kLong, PARAMFLAG_FIN}, {"B", kLong, PARAMFLAG_FIN}, {"Sum", kLong, kRetval}};
constexpr TParamData kGetBool[] = {{"Value", kBool, kRetval}};
constexpr TParamData kPutBool[] = {{nullptr, kBool, PARAMFLAG_FIN}};
constexpr TParamData kMessage[] = {{"Message", kText, PARAMFLAG_FIN}};
constexpr TParamData kValue[] = {{"Value", kLong, PARAMFLAG_FIN}};
constexpr TParamData kGetBig[] = {{"Value", kBig, kRetval}};
constexpr TParamData kPutBig[] = {{nullptr, kBig, PARAMFLAG_FIN}};
constexpr TParamData kScale[] = {{"Factor", kShort, PARAMFLAG_FIN}, {"Result", kLong, kRetval}};

constexpr TFuncData kFuncs[] = {
    {"Name", DISPID_TESTCALC_NAME, INVOKE_PROPERTYGET, 0, nullptr, kGetText},
    {"Name", DISPID_TESTCALC_NAME, INVOKE_PROPERTYPUT, 0, nullptr, kPutText},
    {"Add", DISPID_TESTCALC_ADD, INVOKE_FUNC, 0, "Adds two numbers", kAdd},
    {"Flag", DISPID_TESTCALC_FLAG, INVOKE_PROPERTYGET, FUNCFLAG_FHIDDEN, nullptr, kGetBool},
    {"Flag", DISPID_TESTCALC_FLAG, INVOKE_PROPERTYPUT, FUNCFLAG_FHIDDEN, nullptr, kPutBool},
    {"Fail", DISPID_TESTCALC_FAIL, INVOKE_FUNC, 0, nullptr, kMessage},
    {"Fire", DISPID_TESTCALC_FIRE, INVOKE_FUNC, 0, nullptr, kValue},
    {"Big", DISPID_TESTCALC_BIG, INVOKE_PROPERTYGET, 0, nullptr, kGetBig},
    {"Big", DISPID_TESTCALC_BIG, INVOKE_PROPERTYPUT, 0, nullptr, kPutBig},
    {"Scale", DISPID_TESTCALC_SCALE, INVOKE_FUNC, 0, nullptr, kScale},
};

constexpr TParamData kKey[] = {{"Key", kShort, PARAMFLAG_FIN | PARAMFLAG_FOUT}};
constexpr TFuncData kEvents[] = {
    {"OnValue", DISPID_TESTCALCEVENTS_ONVALUE, INVOKE_FUNC, 0, nullptr, kValue},
    {"OnKey", DISPID_TESTCALCEVENTS_ONKEY, INVOKE_FUNC, 0, nullptr, kKey},
};

constexpr TTypeData kTypes[] = {
    {"ITestCalc",
     IID_ITestCalc,
     TKIND_INTERFACE,
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
     "Test calculator",
     "IDispatch",
     kFuncs,
     {},
     {}},
    {"ITestCalcEvents",
     DIID_ITestCalcEvents,
     TKIND_DISPATCH,
     TYPEFLAG_FDISPATCHABLE,
     nullptr,
     nullptr,
     kEvents,
     {},
     {}},
};

constexpr com::TLibraryData kLibrary{
    "KyvTests", {0x5B0C7E50, 0x2A77, 0x4C36, {0x9E, 0x1D, 0x61, 0x3F, 0x0A, 0x52, 0x77, 0xC4}},
    1,          0,
    0x0409,     0,
    nullptr,    kTypes};

}  // namespace

const com::TLibraryData& TestCalcLibrary() noexcept {
  return kLibrary;
}

TTestCalc::TTestCalc() : FDispatch(kLibrary, 0), FEvents(*this, DIID_ITestCalcEvents) {}

HRESULT TTestCalc::GetTypeInfoCount(UINT* pctinfo) {
  return FDispatch.GetTypeInfoCount(pctinfo);
}

HRESULT TTestCalc::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  return FDispatch.GetTypeInfo(iTInfo, ppTInfo);
}

HRESULT TTestCalc::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                 DISPID* rgDispId) {
  return FDispatch.GetIDsOfNames(riid, rgszNames, cNames, rgDispId);
}

HRESULT TTestCalc::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                          DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                          UINT* puArgErr) {
  return FDispatch.Invoke(static_cast<ITestCalc*>(this), dispIdMember, riid, wFlags, pDispParams,
                          pVarResult, pExcepInfo, puArgErr);
}

HRESULT TTestCalc::get_Name(BSTR* Value) {
  ++Calls;
  if (Value == nullptr) return E_POINTER;
  std::lock_guard lock(FLock);
  *Value = SysAllocStringLen(FName.data(), static_cast<UINT>(FName.size()));
  return S_OK;
}

HRESULT TTestCalc::put_Name(BSTR Value) {
  ++Calls;
  std::lock_guard lock(FLock);
  FName = com::TBstr::View(Value);
  return S_OK;
}

HRESULT TTestCalc::Add(int32_t A, int32_t B, int32_t* Sum) {
  ++Calls;
  if (Sum == nullptr) return E_POINTER;
  *Sum = static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
  return S_OK;
}

HRESULT TTestCalc::get_Flag(VARIANT_BOOL* Value) {
  ++Calls;
  if (Value == nullptr) return E_POINTER;
  std::lock_guard lock(FLock);
  *Value = FFlag;
  return S_OK;
}

HRESULT TTestCalc::put_Flag(VARIANT_BOOL Value) {
  ++Calls;
  std::lock_guard lock(FLock);
  FFlag = Value;
  return S_OK;
}

HRESULT TTestCalc::Fail(BSTR Message) {
  ++Calls;
  KyvSetErrorText(IID_ITestCalc, "TestCalc", com::TBstr(com::TBstr::View(Message)).Utf8().c_str());
  return E_FAIL;
}

HRESULT TTestCalc::Fire(int32_t Value) {
  ++Calls;
  com::TVariant value = com::TVariant::I4(Value);
  FEvents.Raise(DISPID_TESTCALCEVENTS_ONVALUE, std::span<com::TVariant>(&value, 1));
  int16_t key = static_cast<int16_t>(Value);
  com::TVariant reference = com::TVariant::ByRefI2(&key);
  FEvents.Raise(DISPID_TESTCALCEVENTS_ONKEY, std::span<com::TVariant>(&reference, 1));
  std::lock_guard lock(FLock);
  FKey = key;
  return S_OK;
}

HRESULT TTestCalc::get_Big(int64_t* Value) {
  ++Calls;
  if (Value == nullptr) return E_POINTER;
  std::lock_guard lock(FLock);
  *Value = FBig;
  return S_OK;
}

HRESULT TTestCalc::put_Big(int64_t Value) {
  ++Calls;
  std::lock_guard lock(FLock);
  FBig = Value;
  return S_OK;
}

HRESULT TTestCalc::Scale(int16_t Factor, int32_t* Result) {
  ++Calls;
  if (Result == nullptr) return E_POINTER;
  std::lock_guard lock(FLock);
  *Result = static_cast<int32_t>(Factor) * FKey;
  return S_OK;
}

HRESULT TTestCalc::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT TTestCalc::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  if (!IsEqualGUID(riid, FEvents.Source())) return CONNECT_E_NOCONNECTION;
  FEvents.AddRef();
  *ppCP = &FEvents;
  return S_OK;
}

}  // namespace kyv::test
