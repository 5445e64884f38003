#include "com/TypeNames.h"

namespace kyv::com {

namespace {

char16_t Fold(char16_t C) noexcept {
  return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - u'a' + u'A') : C;
}

}  // namespace

bool SameNameNoCase(std::u16string_view A, std::string_view B) noexcept {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (Fold(A[i]) != Fold(static_cast<char16_t>(static_cast<unsigned char>(B[i])))) return false;
  return true;
}

HRESULT TextToBstr(const char* Utf8, BSTR* Out) {
  if (Out == nullptr) return S_OK;
  *Out = Utf8 != nullptr ? SysAllocStringUtf8(Utf8) : nullptr;
  return Utf8 == nullptr || *Out != nullptr ? S_OK : E_OUTOFMEMORY;
}

int FindFunc(const TTypeData& Type, DISPID Id, INVOKEKIND Kind) noexcept {
  for (size_t i = 0; i < Type.Funcs.size(); ++i)
    if (Type.Funcs[i].Id == Id && Type.Funcs[i].Kind == Kind) return static_cast<int>(i);
  return -1;
}

}  // namespace kyv::com
