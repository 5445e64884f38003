#pragma once

#include <cstdint>
#include <span>

#include "kyv/kyvcom.h"

namespace kyv::com {

// A type library described as constant data: what ITypeInfo hands out, what the generic
// dispatcher calls by, and what the tools print. Texts are UTF-8.

// The type of a parameter or a result. Carried is the kind of the value passed in the slot and
// in VARIANTs: the kind itself for base kinds, VT_I4 for an enumeration of the library, and the
// underlying kind for a type imported from the standard library (OLE_COLOR: VT_UI4; IFontDisp:
// VT_DISPATCH). Name names the type as the IDL writes it; UserType is the index of a type of
// the library, or kImportedOleColor / kImportedFontDisp, -1 for a base kind. Pointer marks an
// interface type, passed as a pointer to it.
struct TTypeRef {
  VARTYPE Carried = VT_EMPTY;
  const char* Name = nullptr;
  int UserType = -1;
  bool Pointer = false;
};

// The base kinds as the IDL names them.
inline constexpr TTypeRef kTypeBool{VT_BOOL, "VARIANT_BOOL"};
inline constexpr TTypeRef kTypeLong{VT_I4, "long"};
inline constexpr TTypeRef kTypeShort{VT_I2, "short"};
inline constexpr TTypeRef kTypeText{VT_BSTR, "BSTR"};
inline constexpr TTypeRef kTypeInt64{VT_I8, "int64"};
inline constexpr uint16_t kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

// Types of the standard OLE library that a library may use: references to them (hreftype)
// start here, beyond any library's own types.
inline constexpr int kFirstImported = 0x10000;
inline constexpr int kImportedOleColor = kFirstImported;
inline constexpr int kImportedFontDisp = kFirstImported + 1;

struct TParamData {
  const char* Name;  // null for a setter's unnamed value
  TTypeRef Type;
  uint16_t Flags;  // PARAMFLAG_...: FIN, FOUT | FRETVAL (by pointer), FIN | FOUT (by pointer)
};

struct TFuncData {
  const char* Name;
  DISPID Id;
  INVOKEKIND Kind;
  uint16_t Flags;  // FUNCFLAG_...
  const char* Help;
  std::span<const TParamData> Params;
  bool ReturnsHResult = true;  // false for the events declared without a result
};

struct TEnumValue {
  const char* Name;
  int32_t Value;
  const char* Help;
};

struct TImplData {
  int Type;       // index of the implemented interface in the library
  int32_t Flags;  // IMPLTYPEFLAG_...
};

struct TTypeData {
  const char* Name;
  GUID Guid;
  TYPEKIND Kind;
  uint16_t Flags;  // TYPEFLAG_...
  const char* Help;
  const char* Base;  // an interface's base ("IDispatch"), else null
  std::span<const TFuncData> Funcs;
  std::span<const TEnumValue> Values;
  std::span<const TImplData> Implemented;
  uint16_t Major = 1;
  uint16_t Minor = 0;
};

struct TLibraryData {
  const char* Name;
  GUID Guid;
  uint16_t Major;
  uint16_t Minor;
  LCID Lcid;
  uint16_t Flags;  // LIBFLAG_...
  const char* Help;
  std::span<const TTypeData> Types;
};

// Slots 0..6 are IUnknown's and IDispatch's; a dual interface's own members follow in order.
inline constexpr int kFirstDualSlot = 7;
// The dispatcher passes at most this many arguments to a slot (besides the object).
inline constexpr int kMaxSlotParams = 6;

// The member numbers of enumeration values (GetVarDesc, GetDocumentation), as type-library
// compilers give them.
inline constexpr MEMBERID kFirstValueId = 0x40000000;

}  // namespace kyv::com
