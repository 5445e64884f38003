#pragma once

#include "com/TypeData.h"

namespace kyv::com {

// The two types of the standard OLE library (stdole2, 2.0) that the control's library uses:
// OLE_COLOR (an alias of an unsigned 32-bit integer) and IFontDisp (a dispatch interface), in
// that order, referred to as kImportedOleColor and kImportedFontDisp.
const TLibraryData& StandardOleLibrary() noexcept;

}  // namespace kyv::com
