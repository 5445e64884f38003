#pragma once

#include "com/ComObject.h"
#include "com/TypeData.h"

namespace kyv::com {

// ITypeLib over a library's data: what a component's DllGetTypeLib hands out. Constant data,
// so any thread may use it. GetTypeComp is E_NOTIMPL.
class TTypeLib : public TComObject<ITypeLib> {
 public:
  explicit TTypeLib(const TLibraryData& Library) noexcept : FLibrary(Library) {}

  UINT GetTypeInfoCount() override;
  HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
  HRESULT GetLibAttr(TLIBATTR** ppTLibAttr) override;
  HRESULT GetTypeComp(void** ppTComp) override;
  HRESULT GetDocumentation(int32_t index, BSTR* pBstrName, BSTR* pBstrDocString,
                           DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  HRESULT IsName(LPOLESTR szNameBuf, ULONG lHashVal, int32_t* pfName) override;
  HRESULT FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                   USHORT* pcFound) override;
  void ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

 private:
  const TLibraryData& FLibrary;
};

}  // namespace kyv::com
