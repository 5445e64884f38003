#pragma once

#include <string>
#include <string_view>

#include "com/TypeData.h"

namespace kyv::com {

// True when the names are equal but for the case of the letters A to Z (member names are ASCII).
bool SameNameNoCase(std::u16string_view A, std::string_view B) noexcept;

// *Out = a new BSTR of the UTF-8 text, null for null; nothing when Out is null.
HRESULT TextToBstr(const char* Utf8, BSTR* Out);

// The index of the function of Type with this member number and kind; -1 when there is none.
int FindFunc(const TTypeData& Type, DISPID Id, INVOKEKIND Kind) noexcept;

}  // namespace kyv::com
