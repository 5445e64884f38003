#pragma once

#include "com/ComObject.h"
#include "com/TypeData.h"

namespace kyv::com {

// ITypeInfo over one type of a library's data. The data is constant, so any thread may use
// it; descriptions it hands out are blocks of their own, freed by the matching Release call.
// Invoke drives a dual interface's slots (TTypedDispatch); GetTypeComp, GetDllEntry,
// AddressOfMember, CreateInstance, GetMops and GetContainingTypeLib are E_NOTIMPL.
class TTypeInfo : public TComObject<ITypeInfo> {
 public:
  TTypeInfo(const TLibraryData& Library, int Index);

  HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  HRESULT GetTypeComp(void** ppTComp) override;
  HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  HRESULT GetImplTypeFlags(UINT index, int32_t* pImplTypeFlags) override;
  HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                           DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  HRESULT GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                      WORD* pwOrdinal) override;
  HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  HRESULT AddressOfMember(MEMBERID memid, INVOKEKIND invKind, void** ppv) override;
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override;
  HRESULT GetMops(MEMBERID memid, BSTR* pBstrMops) override;
  HRESULT GetContainingTypeLib(void** ppTLib, UINT* pIndex) override;
  void ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
  void ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
  void ReleaseVarDesc(VARDESC* pVarDesc) override;

 private:
  const TLibraryData& FLibrary;
  const TTypeData& FType;
};

// The slot of a dual interface's member Index.
inline int SlotOf(int Index) noexcept {
  return kFirstDualSlot + Index;
}

}  // namespace kyv::com
