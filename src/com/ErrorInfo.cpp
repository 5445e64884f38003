#include "com/ErrorInfo.h"

#include "com/ComPtr.h"

namespace kyv::com {

namespace {

HRESULT CopyText(const std::u16string& Text, BSTR* Out) {
  if (Out == nullptr) return E_POINTER;
  *Out = SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()));
  return *Out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The calling thread's error information; released when the thread ends.
thread_local TComPtr<IErrorInfo> tErrorInfo;

}  // namespace

TErrorInfo::TErrorInfo(const GUID& Interface, std::u16string Source, std::u16string Description)
    : FInterface(Interface), FSource(std::move(Source)), FDescription(std::move(Description)) {}

HRESULT TErrorInfo::GetGUID(GUID* pGUID) {
  if (pGUID == nullptr) return E_POINTER;
  *pGUID = FInterface;
  return S_OK;
}

HRESULT TErrorInfo::GetSource(BSTR* pBstrSource) {
  return CopyText(FSource, pBstrSource);
}

HRESULT TErrorInfo::GetDescription(BSTR* pBstrDescription) {
  return CopyText(FDescription, pBstrDescription);
}

HRESULT TErrorInfo::GetHelpFile(BSTR* pBstrHelpFile) {
  if (pBstrHelpFile == nullptr) return E_POINTER;
  *pBstrHelpFile = nullptr;
  return S_OK;
}

HRESULT TErrorInfo::GetHelpContext(DWORD* pdwHelpContext) {
  if (pdwHelpContext == nullptr) return E_POINTER;
  *pdwHelpContext = 0;
  return S_OK;
}

}  // namespace kyv::com

using namespace kyv::com;

extern "C" {

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
  tErrorInfo = TComPtr<IErrorInfo>(perrinfo);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_POINTER;
  *pperrinfo = tErrorInfo.Detach();
  return *pperrinfo != nullptr ? S_OK : S_FALSE;
}

HRESULT KyvSetErrorText(REFIID riid, const char* source, const char* description) {
  try {
    auto info = MakeCom<TErrorInfo>(riid, Utf8ToUtf16(source != nullptr ? source : ""),
                                    Utf8ToUtf16(description != nullptr ? description : ""));
    tErrorInfo = TComPtr<IErrorInfo>(info.Get());
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
