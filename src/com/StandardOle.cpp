#include "com/StandardOle.h"

namespace kyv::com {

namespace {

constexpr TTypeData kTypes[] = {
    {"OLE_COLOR",
     {0x66504301, 0xBE0F, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}},
     TKIND_ALIAS,
     0,
     nullptr,
     nullptr,
     {},
     {},
     {}},
    {"IFontDisp",
     {0xBEF6E003, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}},
     TKIND_DISPATCH,
     TYPEFLAG_FDISPATCHABLE,
     nullptr,
     nullptr,
     {},
     {},
     {}},
};

constexpr TLibraryData kLibrary{"stdole",
                                {0x00020430, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
                                2,
                                0,
                                0,
                                0,
                                "OLE Automation",
                                kTypes};

}  // namespace

const TLibraryData& StandardOleLibrary() noexcept {
  return kLibrary;
}

}  // namespace kyv::com
