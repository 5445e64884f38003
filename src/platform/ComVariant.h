#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ComTypes.h"

namespace kyv {

class IUnknown;
class IDispatch;

// Texts crossing the Automation interface are UTF-16 and owned by whoever holds them.
using BSTR = std::u16string;

// Texts inside the system are in the locale's code set; these convert at the interface.
BSTR ToBstr(std::string_view Text);
std::string FromBstr(std::u16string_view Text);

using VARTYPE = uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_BYREF = 0x4000;

using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// One value of the kinds that the control's interfaces pass: VT_EMPTY, VT_I2, VT_I4, VT_I8,
// VT_BOOL, VT_BSTR, VT_DISPATCH, VT_UNKNOWN and VT_BYREF | VT_I2. It owns its text and one
// reference to an interface it holds, so copies and destruction keep the counts right. A
// by-reference value only borrows its target, which the maker keeps alive while it is in use.
// Not for concurrent use.
class VARIANT {
 public:
  VARIANT() noexcept { FValue.I8 = 0; }
  ~VARIANT() { Clear(); }
  VARIANT(const VARIANT& Other);
  VARIANT(VARIANT&& Other) noexcept;
  VARIANT& operator=(const VARIANT& Other);
  VARIANT& operator=(VARIANT&& Other) noexcept;

  static VARIANT I2(int16_t Value);
  static VARIANT I4(int32_t Value);
  static VARIANT I8(int64_t Value);
  static VARIANT Bool(bool Value);
  static VARIANT Bstr(BSTR Value);
  // Both take a new reference; a null interface is allowed.
  static VARIANT Dispatch(IDispatch* Value);
  static VARIANT Unknown(IUnknown* Value);
  static VARIANT ByRefI2(int16_t* Target);

  VARTYPE vt() const noexcept { return FType; }
  void Clear() noexcept;

  // The value of the kind held; another kind raises EAssertionFailed.
  int16_t iVal() const;
  int32_t lVal() const;
  int64_t llVal() const;
  VARIANT_BOOL boolVal() const;
  const BSTR& bstrVal() const;
  IDispatch* pdispVal() const;
  IUnknown* punkVal() const;
  int16_t* piVal() const;

  // The value as another kind, as the system's type change does: integers, Booleans (-1 and 0)
  // and a by-reference I2 convert into each other, a value that does not fit gives
  // DISP_E_OVERFLOW; a decimal text converts to a number and a number to its decimal text;
  // Booleans read and write "True" and "False"; empty is 0, false or "". Any other pair gives
  // DISP_E_TYPEMISMATCH and leaves Out unchanged.
  HRESULT ToInt64(int64_t& Out) const;
  HRESULT ToInt32(int32_t& Out) const;
  HRESULT ToInt16(int16_t& Out) const;
  HRESULT ToBool(bool& Out) const;
  HRESULT ToBstr(BSTR& Out) const;

 private:
  void CopyFrom(const VARIANT& Other);

  VARTYPE FType = VT_EMPTY;
  union {
    int16_t I2;
    int32_t I4;
    int64_t I8;
    VARIANT_BOOL Bool;
    IUnknown* Unknown;
    IDispatch* Dispatch;
    int16_t* RefI2;
  } FValue;
  BSTR FText;  // the value of VT_BSTR, empty otherwise
};

}  // namespace kyv
