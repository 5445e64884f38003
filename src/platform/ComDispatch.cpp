#include "platform/ComDispatch.h"

#include <vector>

#include "platform/Errors.h"

namespace kyv {

namespace {

char16_t FoldAscii(char16_t C) noexcept {
  return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - u'a' + u'A') : C;
}

}  // namespace

bool SameNameNoCase(std::u16string_view A, std::u16string_view B) noexcept {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (FoldAscii(A[i]) != FoldAscii(B[i])) return false;
  return true;
}

HRESULT LookUpNames(std::span<const TDispatchName> Table, std::span<const BSTR> Names,
                    DISPID* Ids) {
  if (Ids == nullptr) return E_POINTER;
  if (Names.empty()) return E_INVALIDARG;
  HRESULT result = S_OK;
  Ids[0] = DISPID_UNKNOWN;
  for (const TDispatchName& row : Table) {
    if (SameNameNoCase(row.Name, Names[0])) {
      Ids[0] = row.Id;
      break;
    }
  }
  if (Ids[0] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
  for (size_t i = 1; i < Names.size(); ++i) {
    Ids[i] = DISPID_UNKNOWN;
    result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

HRESULT CheckArguments(const DISPPARAMS* Params, uint32_t Count) noexcept {
  if (Params == nullptr) return Count == 0 ? S_OK : E_POINTER;
  if (Params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (Params->cArgs != Count) return DISP_E_BADPARAMCOUNT;
  if (Count > 0 && Params->rgvarg == nullptr) return E_POINTER;
  return S_OK;
}

VARIANT& Argument(const DISPPARAMS& Params, uint32_t Index) {
  KYV_ASSERT(Index < Params.cArgs && Params.rgvarg != nullptr);
  return Params.rgvarg[Params.cArgs - 1 - Index];
}

HRESULT InvokeMethod(IDispatch& Target, DISPID Member, std::span<const VARIANT> Args,
                     VARIANT* Result) {
  std::vector<VARIANT> reversed(Args.rbegin(), Args.rend());
  DISPPARAMS params;
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  params.cArgs = static_cast<uint32_t>(reversed.size());
  uint32_t argError = 0;
  return Target.Invoke(Member, IID_NULL, 0, DISPATCH_METHOD, &params, Result, nullptr, &argError);
}

}  // namespace kyv
