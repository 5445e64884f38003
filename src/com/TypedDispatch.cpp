#include "com/TypedDispatch.h"

#include <cstring>
#include <new>

#include "com/Bstr.h"
#include "com/TypeInfo.h"
#include "com/TypeNames.h"

namespace kyv::com {

namespace {

// Every slot this dispatcher calls takes the object and integer-class arguments only (integers,
// Booleans, pointers), which the platform's calling convention passes in the same registers
// whatever their declared width, as long as each is widened with its sign. Arguments beyond a
// member's own are ignored by it.
using TSlot = HRESULT (*)(void*, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t);

#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
HRESULT
CallSlot(void* Instance, int Slot, const uint64_t (&Args)[kMaxSlotParams]) {
  void* const* table = *static_cast<void* const* const*>(Instance);
  const auto slot = reinterpret_cast<TSlot>(table[Slot]);
  return slot(Instance, Args[0], Args[1], Args[2], Args[3], Args[4], Args[5]);
}

// The argument value of a converted variant of kind Carried, widened as the slot expects.
uint64_t Widen(const VARIANT& Value) {
  switch (Value.vt) {
    case VT_I2:
    case VT_BOOL:
      return static_cast<uint64_t>(static_cast<int64_t>(Value.u.iVal));
    case VT_I4:
      return static_cast<uint64_t>(static_cast<int64_t>(Value.u.lVal));
    case VT_UI4:
      return static_cast<uint32_t>(Value.u.lVal);
    case VT_I8:
      return static_cast<uint64_t>(Value.u.llVal);
    default:  // VT_BSTR, VT_DISPATCH, VT_UNKNOWN: the pointer, borrowed for the call
      return reinterpret_cast<uintptr_t>(Value.u.byref);
  }
}

// The converted arguments of one call, freed when it returns.
struct TVariantArray {
  TVariantArray() noexcept {
    for (VARIANT& item : Items) VariantInit(&item);
  }
  ~TVariantArray() {
    for (VARIANT& item : Items) VariantClear(&item);
  }
  TVariantArray(const TVariantArray&) = delete;
  TVariantArray& operator=(const TVariantArray&) = delete;
  VARIANT Items[kMaxSlotParams];
};

// Storage for an out parameter, turned into the caller's result after the call.
union TOutValue {
  int16_t I2;
  int32_t I4;
  int64_t I8;
  BSTR Text;
  IUnknown* Object;
};

void TakeOut(VARTYPE Carried, TOutValue& Out, VARIANT* Result) {
  VARIANT value;
  VariantInit(&value);
  value.vt = Carried;
  switch (Carried) {
    case VT_I2:
    case VT_BOOL:
      value.u.iVal = Out.I2;
      break;
    case VT_I4:
    case VT_UI4:
      value.u.lVal = Out.I4;
      break;
    case VT_I8:
      value.u.llVal = Out.I8;
      break;
    default:
      value.u.byref = Out.Object;
      break;
  }
  if (Result != nullptr) {
    VariantClear(Result);
    *Result = value;
  } else {
    VariantClear(&value);
  }
}

// The member a call with these flags means: a setter for a put, else a method, else a getter
// (a script's "obj.x" asks for method and get at once).
int ChooseFunc(const TTypeData& Type, DISPID Member, WORD Flags) {
  if ((Flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    if ((Flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0) return -1;
    return FindFunc(Type, Member, INVOKE_PROPERTYPUT);
  }
  int found = -1;
  if ((Flags & DISPATCH_METHOD) != 0) found = FindFunc(Type, Member, INVOKE_FUNC);
  if (found < 0 && (Flags & DISPATCH_PROPERTYGET) != 0)
    found = FindFunc(Type, Member, INVOKE_PROPERTYGET);
  return found;
}

void FillException(HRESULT Failure, EXCEPINFO* Exception) {
  if (Exception == nullptr) return;
  std::memset(Exception, 0, sizeof *Exception);
  Exception->scode = Failure;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    info->GetSource(&Exception->bstrSource);
    info->GetDescription(&Exception->bstrDescription);
    info->Release();
  }
}

}  // namespace

HRESULT LookUpIds(const TTypeData& Type, LPOLESTR* Names, UINT Count, DISPID* Ids) {
  if (Names == nullptr || Ids == nullptr) return E_POINTER;
  if (Count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < Count; ++i) Ids[i] = DISPID_UNKNOWN;
  const TFuncData* member = nullptr;
  if (Names[0] != nullptr) {
    const std::u16string_view name(Names[0]);
    for (const TFuncData& func : Type.Funcs)
      if (SameNameNoCase(name, func.Name)) {
        // The getter of a property names its parameters, if any.
        if (member == nullptr || func.Kind != INVOKE_PROPERTYPUT) member = &func;
        if (func.Kind != INVOKE_PROPERTYPUT) break;
      }
  }
  if (member == nullptr) return DISP_E_UNKNOWNNAME;
  Ids[0] = member->Id;
  HRESULT result = S_OK;
  for (UINT i = 1; i < Count; ++i) {
    if (Names[i] != nullptr) {
      const std::u16string_view name(Names[i]);
      for (size_t p = 0; p < member->Params.size(); ++p)
        if (member->Params[p].Name != nullptr && SameNameNoCase(name, member->Params[p].Name))
          Ids[i] = static_cast<DISPID>(p);
    }
    if (Ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

HRESULT InvokeSlot(const TTypeData& Type, void* Instance, DISPID Member, WORD Flags,
                   DISPPARAMS* Params, VARIANT* Result, EXCEPINFO* Exception, UINT* ArgError) {
  if (Instance == nullptr || Params == nullptr) return E_INVALIDARG;
  if (Type.Kind != TKIND_INTERFACE) return DISP_E_MEMBERNOTFOUND;
  if (Params->cNamedArgs > Params->cArgs) return E_INVALIDARG;
  if (Params->cArgs > 0 && Params->rgvarg == nullptr) return E_INVALIDARG;
  if (Params->cNamedArgs > 0 && Params->rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  const int index = ChooseFunc(Type, Member, Flags);
  if (index < 0) return DISP_E_MEMBERNOTFOUND;
  const TFuncData& func = Type.Funcs[static_cast<size_t>(index)];
  const size_t count = func.Params.size();
  if (count > kMaxSlotParams) return E_UNEXPECTED;

  // Which rgvarg entry feeds each parameter; a retval parameter is fed by the call itself.
  int source[kMaxSlotParams];
  size_t inputs = 0;
  for (size_t p = 0; p < count; ++p) {
    source[p] = -1;
    if ((func.Params[p].Flags & PARAMFLAG_FRETVAL) == 0) ++inputs;
  }
  if (Params->cArgs != inputs) return DISP_E_BADPARAMCOUNT;
  const UINT named = Params->cNamedArgs;
  if (func.Kind == INVOKE_PROPERTYPUT) {
    if (named != 1 || Params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTFOUND;
    source[0] = 0;
  } else {
    for (UINT n = 0; n < named; ++n) {
      const DISPID position = Params->rgdispidNamedArgs[n];
      if (position < 0 || static_cast<size_t>(position) >= inputs || source[position] >= 0)
        return DISP_E_PARAMNOTFOUND;
      source[position] = static_cast<int>(n);
    }
    // Positional arguments fill the first parameters, last one first in rgvarg.
    const UINT positional = Params->cArgs - named;
    for (UINT i = 0; i < positional; ++i) {
      if (source[i] >= 0) return DISP_E_PARAMNOTFOUND;
      source[i] = static_cast<int>(Params->cArgs - 1 - i);
    }
  }

  TVariantArray converted;
  uint64_t args[kMaxSlotParams] = {};
  TOutValue out{};
  int outParam = -1;
  for (size_t p = 0; p < count; ++p) {
    const TParamData& param = func.Params[p];
    if ((param.Flags & PARAMFLAG_FRETVAL) != 0) {
      outParam = static_cast<int>(p);
      args[p] = reinterpret_cast<uintptr_t>(&out);
      continue;
    }
    VARIANT& argument = Params->rgvarg[source[p]];
    if ((param.Flags & PARAMFLAG_FOUT) != 0) {
      // In and out: only a reference of the parameter's own kind can take the answer.
      if (argument.vt != (VT_BYREF | param.Type.Carried) || argument.u.byref == nullptr) {
        if (ArgError != nullptr) *ArgError = static_cast<UINT>(source[p]);
        return DISP_E_TYPEMISMATCH;
      }
      args[p] = reinterpret_cast<uintptr_t>(argument.u.byref);
      continue;
    }
    VARIANT& value = converted.Items[p];
    const HRESULT coerced = VariantChangeType(&value, &argument, 0, param.Type.Carried);
    if (FAILED(coerced)) {
      if (ArgError != nullptr) *ArgError = static_cast<UINT>(source[p]);
      return coerced == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
    args[p] = Widen(value);
  }

  SetErrorInfo(0, nullptr);
  const HRESULT called = CallSlot(Instance, SlotOf(index), args);
  if (FAILED(called)) {
    FillException(called, Exception);
    return DISP_E_EXCEPTION;
  }
  if (outParam >= 0)
    TakeOut(func.Params[static_cast<size_t>(outParam)].Type.Carried, out, Result);
  else if (Result != nullptr)
    VariantClear(Result);
  return S_OK;
}

HRESULT TTypedDispatch::GetTypeInfoCount(UINT* Count) const {
  if (Count == nullptr) return E_POINTER;
  *Count = 1;
  return S_OK;
}

HRESULT TTypedDispatch::GetTypeInfo(UINT Index, ITypeInfo** Info) const {
  if (Info == nullptr) return E_POINTER;
  *Info = nullptr;
  if (Index != 0) return DISP_E_BADINDEX;
  *Info = new (std::nothrow) TTypeInfo(FLibrary, FIndex);
  return *Info != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT TTypedDispatch::GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, DISPID* Ids) const {
  if (!IsEqualGUID(Iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return LookUpIds(Type(), Names, Count, Ids);
}

HRESULT TTypedDispatch::Invoke(void* Instance, DISPID Member, REFIID Iid, WORD Flags,
                               DISPPARAMS* Params, VARIANT* Result, EXCEPINFO* Exception,
                               UINT* ArgError) const {
  if (!IsEqualGUID(Iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return InvokeSlot(Type(), Instance, Member, Flags, Params, Result, Exception, ArgError);
}

}  // namespace kyv::com
