#include "com/TypeLib.h"

#include <new>
#include <string_view>

#include "com/TypeInfo.h"
#include "com/TypeNames.h"

namespace kyv::com {

UINT TTypeLib::GetTypeInfoCount() {
  return static_cast<UINT>(FLibrary.Types.size());
}

HRESULT TTypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  if (index >= FLibrary.Types.size()) return TYPE_E_ELEMENTNOTFOUND;
  *ppTInfo = new (std::nothrow) TTypeInfo(FLibrary, static_cast<int>(index));
  return *ppTInfo != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT TTypeLib::GetTypeInfoType(UINT index, TYPEKIND* pTKind) {
  if (pTKind == nullptr) return E_POINTER;
  if (index >= FLibrary.Types.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pTKind = FLibrary.Types[index].Kind;
  return S_OK;
}

HRESULT TTypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) {
  if (ppTinfo == nullptr) return E_POINTER;
  *ppTinfo = nullptr;
  for (size_t i = 0; i < FLibrary.Types.size(); ++i)
    if (IsEqualGUID(FLibrary.Types[i].Guid, guid))
      return GetTypeInfo(static_cast<UINT>(i), ppTinfo);
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TTypeLib::GetLibAttr(TLIBATTR** ppTLibAttr) {
  if (ppTLibAttr == nullptr) return E_POINTER;
  auto* attr = new (std::nothrow) TLIBATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = FLibrary.Guid;
  attr->lcid = FLibrary.Lcid;
  attr->syskind = SYS_WIN64;
  attr->wMajorVerNum = FLibrary.Major;
  attr->wMinorVerNum = FLibrary.Minor;
  attr->wLibFlags = FLibrary.Flags;
  *ppTLibAttr = attr;
  return S_OK;
}

void TTypeLib::ReleaseTLibAttr(TLIBATTR* pTLibAttr) {
  delete pTLibAttr;
}

HRESULT TTypeLib::GetTypeComp(void** ppTComp) {
  if (ppTComp != nullptr) *ppTComp = nullptr;
  return E_NOTIMPL;
}

HRESULT TTypeLib::GetDocumentation(int32_t index, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  if (index < -1 || index >= static_cast<int32_t>(FLibrary.Types.size()))
    return TYPE_E_ELEMENTNOTFOUND;
  const char* name = index < 0 ? FLibrary.Name : FLibrary.Types[static_cast<size_t>(index)].Name;
  const char* help = index < 0 ? FLibrary.Help : FLibrary.Types[static_cast<size_t>(index)].Help;
  if (pdwHelpContext != nullptr) *pdwHelpContext = 0;
  if (pBstrHelpFile != nullptr) *pBstrHelpFile = nullptr;
  if (const HRESULT result = TextToBstr(name, pBstrName); FAILED(result)) return result;
  return TextToBstr(help, pBstrDocString);
}

HRESULT TTypeLib::IsName(LPOLESTR szNameBuf, ULONG, int32_t* pfName) {
  if (szNameBuf == nullptr || pfName == nullptr) return E_POINTER;
  const std::u16string_view name(szNameBuf);
  *pfName = 0;
  for (const TTypeData& type : FLibrary.Types) {
    if (SameNameNoCase(name, type.Name)) *pfName = 1;
    for (const TFuncData& func : type.Funcs)
      if (SameNameNoCase(name, func.Name)) *pfName = 1;
  }
  return S_OK;
}

HRESULT TTypeLib::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                           USHORT* pcFound) {
  if (szNameBuf == nullptr || pcFound == nullptr) return E_POINTER;
  const std::u16string_view name(szNameBuf);
  const USHORT room = *pcFound;
  USHORT found = 0;
  for (size_t i = 0; i < FLibrary.Types.size() && found < room; ++i) {
    for (const TFuncData& func : FLibrary.Types[i].Funcs) {
      if (!SameNameNoCase(name, func.Name)) continue;
      if (ppTInfo != nullptr)
        ppTInfo[found] = new (std::nothrow) TTypeInfo(FLibrary, static_cast<int>(i));
      if (rgMemId != nullptr) rgMemId[found] = func.Id;
      ++found;
      break;
    }
  }
  *pcFound = found;
  return S_OK;
}

}  // namespace kyv::com
