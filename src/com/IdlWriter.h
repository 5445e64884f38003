#pragma once

#include <ostream>

#include "kyv/kyvcom.h"

namespace kyv::com {

// Prints a type library as IDL, the syntax type-library tools print: the library's attributes,
// then each type in stored order (interfaces with their members in slot order, "id(N)",
// "propget"/"propput", "hidden"; dispinterfaces; enumerations; coclasses). Reads it only
// through ITypeLib and ITypeInfo. Returns the first failure of the library, else S_OK.
HRESULT WriteIdl(ITypeLib& Library, std::ostream& Out);

}  // namespace kyv::com
