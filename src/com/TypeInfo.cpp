#include "com/TypeInfo.h"

#include <new>

#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/StandardOle.h"
#include "com/TypeNames.h"
#include "com/TypedDispatch.h"

namespace kyv::com {

namespace {

// One function's description with room for its parameters; FUNCDESC first, so the pointer
// handed out is the block's.
struct TFuncDescBlock {
  FUNCDESC Desc;
  ELEMDESC Params[kMaxSlotParams];
  TYPEDESC Pointees[2 * kMaxSlotParams];
};

struct TVarDescBlock {
  VARDESC Desc;
  VARIANT Value;
};

static_assert(std::is_standard_layout_v<TFuncDescBlock> &&
              std::is_standard_layout_v<TVarDescBlock>);

// The TYPEDESC of a value of Type, with a further pointer when the slot takes its address;
// Pointees (two) receive what the pointers point at.
void Describe(const TTypeRef& Type, bool ByPointer, TYPEDESC& Out, TYPEDESC* Pointees) {
  TYPEDESC base{};
  if (Type.UserType >= 0) {
    base.vt = VT_USERDEFINED;
    base.u.hreftype = static_cast<HREFTYPE>(Type.UserType);
  } else {
    base.vt = Type.Carried;
  }
  const int levels = (Type.Pointer ? 1 : 0) + (ByPointer ? 1 : 0);
  TYPEDESC current = base;
  for (int i = 0; i < levels; ++i) {
    Pointees[i] = current;
    current = TYPEDESC{};
    current.vt = VT_PTR;
    current.u.lptdesc = &Pointees[i];
  }
  Out = current;
}

}  // namespace

TTypeInfo::TTypeInfo(const TLibraryData& Library, int Index)
    : FLibrary(Library), FType(Library.Types[static_cast<size_t>(Index)]) {}

HRESULT TTypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (ppTypeAttr == nullptr) return E_POINTER;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = FType.Guid;
  attr->lcid = FLibrary.Lcid;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = FType.Kind == TKIND_ENUM ? 4 : sizeof(void*);
  attr->typekind = FType.Kind;
  attr->cFuncs = static_cast<WORD>(FType.Funcs.size());
  attr->cVars = static_cast<WORD>(FType.Values.size());
  attr->cImplTypes = static_cast<WORD>(FType.Implemented.size());
  if (FType.Kind == TKIND_INTERFACE)
    attr->cbSizeVft =
        static_cast<WORD>(SlotOf(static_cast<int>(FType.Funcs.size())) * sizeof(void*));
  else if (FType.Kind == TKIND_DISPATCH)
    attr->cbSizeVft = static_cast<WORD>(kFirstDualSlot * sizeof(void*));
  attr->cbAlignment = FType.Kind == TKIND_ENUM ? 4 : sizeof(void*);
  attr->wTypeFlags = FType.Flags;
  attr->wMajorVerNum = FType.Major;
  attr->wMinorVerNum = FType.Minor;
  *ppTypeAttr = attr;
  return S_OK;
}

void TTypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr) {
  delete pTypeAttr;
}

HRESULT TTypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (ppFuncDesc == nullptr) return E_POINTER;
  *ppFuncDesc = nullptr;
  if (index >= FType.Funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
  const TFuncData& func = FType.Funcs[index];
  if (func.Params.size() > kMaxSlotParams) return E_UNEXPECTED;
  auto* block = new (std::nothrow) TFuncDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  FUNCDESC& desc = block->Desc;
  desc.memid = func.Id;
  desc.funckind = FType.Kind == TKIND_DISPATCH ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
  desc.invkind = func.Kind;
  desc.callconv = CC_STDCALL;
  desc.cParams = static_cast<SHORT>(func.Params.size());
  desc.oVft = static_cast<SHORT>(SlotOf(static_cast<int>(index)) * sizeof(void*));
  desc.wFuncFlags = func.Flags;
  desc.lprgelemdescParam = func.Params.empty() ? nullptr : block->Params;
  for (size_t i = 0; i < func.Params.size(); ++i) {
    const TParamData& param = func.Params[i];
    const bool byPointer = (param.Flags & PARAMFLAG_FOUT) != 0;
    Describe(param.Type, byPointer, block->Params[i].tdesc, &block->Pointees[2 * i]);
    block->Params[i].u.paramdesc.wParamFlags = param.Flags;
  }
  desc.elemdescFunc.tdesc.vt = func.ReturnsHResult ? VT_HRESULT : VT_VOID;
  *ppFuncDesc = &block->Desc;
  return S_OK;
}

void TTypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc) {
  delete reinterpret_cast<TFuncDescBlock*>(pFuncDesc);
}

HRESULT TTypeInfo::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (ppVarDesc == nullptr) return E_POINTER;
  *ppVarDesc = nullptr;
  if (index >= FType.Values.size()) return TYPE_E_ELEMENTNOTFOUND;
  auto* block = new (std::nothrow) TVarDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  block->Desc.memid = kFirstValueId + static_cast<MEMBERID>(index);
  block->Desc.varkind = VAR_CONST;
  block->Value.vt = VT_I4;
  block->Value.u.lVal = FType.Values[index].Value;
  block->Desc.u.lpvarValue = &block->Value;
  block->Desc.elemdescVar.tdesc.vt = VT_I4;
  *ppVarDesc = &block->Desc;
  return S_OK;
}

void TTypeInfo::ReleaseVarDesc(VARDESC* pVarDesc) {
  delete reinterpret_cast<TVarDescBlock*>(pVarDesc);
}

HRESULT TTypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (rgBstrNames == nullptr || pcNames == nullptr) return E_POINTER;
  *pcNames = 0;
  for (const TFuncData& func : FType.Funcs) {
    if (func.Id != memid) continue;
    // The getter names the parameters; a setter's value has no name.
    if (func.Kind == INVOKE_PROPERTYPUT && FindFunc(FType, memid, INVOKE_PROPERTYGET) >= 0)
      continue;
    UINT count = 0;
    if (cMaxNames > count) TextToBstr(func.Name, &rgBstrNames[count++]);
    for (const TParamData& param : func.Params)
      if (param.Name != nullptr && cMaxNames > count) TextToBstr(param.Name, &rgBstrNames[count++]);
    *pcNames = count;
    return S_OK;
  }
  if (memid >= kFirstValueId && static_cast<size_t>(memid - kFirstValueId) < FType.Values.size()) {
    if (cMaxNames > 0) {
      TextToBstr(FType.Values[static_cast<size_t>(memid - kFirstValueId)].Name, &rgBstrNames[0]);
      *pcNames = 1;
    }
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TTypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (pRefType == nullptr) return E_POINTER;
  if (index >= FType.Implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = static_cast<HREFTYPE>(FType.Implemented[index].Type);
  return S_OK;
}

HRESULT TTypeInfo::GetImplTypeFlags(UINT index, int32_t* pImplTypeFlags) {
  if (pImplTypeFlags == nullptr) return E_POINTER;
  if (index >= FType.Implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = FType.Implemented[index].Flags;
  return S_OK;
}

HRESULT TTypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  return LookUpIds(FType, rgszNames, cNames, pMemId);
}

HRESULT TTypeInfo::Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                          VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  return InvokeSlot(FType, pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo,
                    puArgErr);
}

HRESULT TTypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                    DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  const char* name = nullptr;
  const char* help = nullptr;
  if (memid == MEMBERID_NIL) {
    name = FType.Name, help = FType.Help;
  } else if (memid >= kFirstValueId &&
             static_cast<size_t>(memid - kFirstValueId) < FType.Values.size()) {
    const TEnumValue& value = FType.Values[static_cast<size_t>(memid - kFirstValueId)];
    name = value.Name, help = value.Help;
  } else {
    for (const TFuncData& func : FType.Funcs)
      if (func.Id == memid) {
        name = func.Name, help = func.Help;
        break;
      }
    if (name == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  }
  if (pdwHelpContext != nullptr) *pdwHelpContext = 0;
  if (pBstrHelpFile != nullptr) *pBstrHelpFile = nullptr;
  if (const HRESULT result = TextToBstr(name, pBstrName); FAILED(result)) return result;
  return TextToBstr(help, pBstrDocString);
}

HRESULT TTypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  const bool imported = hRefType >= static_cast<HREFTYPE>(kFirstImported);
  const TLibraryData& library = imported ? StandardOleLibrary() : FLibrary;
  const HREFTYPE index = imported ? hRefType - kFirstImported : hRefType;
  if (index >= library.Types.size()) return TYPE_E_ELEMENTNOTFOUND;
  auto* info = new (std::nothrow) TTypeInfo(library, static_cast<int>(index));
  if (info == nullptr) return E_OUTOFMEMORY;
  *ppTInfo = info;
  return S_OK;
}

HRESULT TTypeInfo::GetTypeComp(void** ppTComp) {
  if (ppTComp != nullptr) *ppTComp = nullptr;
  return E_NOTIMPL;
}

HRESULT TTypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) {
  return E_NOTIMPL;
}

HRESULT TTypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, void** ppv) {
  if (ppv != nullptr) *ppv = nullptr;
  return E_NOTIMPL;
}

HRESULT TTypeInfo::CreateInstance(IUnknown*, REFIID, void** ppvObj) {
  if (ppvObj != nullptr) *ppvObj = nullptr;
  return E_NOTIMPL;
}

HRESULT TTypeInfo::GetMops(MEMBERID, BSTR* pBstrMops) {
  if (pBstrMops != nullptr) *pBstrMops = nullptr;
  return E_NOTIMPL;
}

HRESULT TTypeInfo::GetContainingTypeLib(void** ppTLib, UINT* pIndex) {
  if (ppTLib != nullptr) *ppTLib = nullptr;
  if (pIndex != nullptr) *pIndex = static_cast<UINT>(&FType - FLibrary.Types.data());
  return E_NOTIMPL;
}

}  // namespace kyv::com
