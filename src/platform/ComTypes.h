#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kyv {

// The scalar types and result codes of the component object model, with the values and names
// that hosts and scripts know them by. Only what the control's events and its Automation
// interface use is here.

using HRESULT = int32_t;
using ULONG = uint32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using WORD = uint16_t;

// A result is a failure when its top bit is set.
constexpr bool Succeeded(HRESULT Result) noexcept {
  return Result >= 0;
}
constexpr bool Failed(HRESULT Result) noexcept {
  return Result < 0;
}

namespace com_detail {
constexpr HRESULT Code(uint32_t Value) noexcept {
  return static_cast<HRESULT>(Value);
}
}  // namespace com_detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = com_detail::Code(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = com_detail::Code(0x80004002);
inline constexpr HRESULT E_POINTER = com_detail::Code(0x80004003);
inline constexpr HRESULT E_FAIL = com_detail::Code(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = com_detail::Code(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = com_detail::Code(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = com_detail::Code(0x80070057);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = com_detail::Code(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = com_detail::Code(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = com_detail::Code(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = com_detail::Code(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = com_detail::Code(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = com_detail::Code(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = com_detail::Code(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = com_detail::Code(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = com_detail::Code(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = com_detail::Code(0x8002000E);

inline constexpr DISPID DISPID_UNKNOWN = -1;

// Invoke's kinds of call; a script's "obj.x" may arrive as method and property get at once.
inline constexpr WORD DISPATCH_METHOD = 1;
inline constexpr WORD DISPATCH_PROPERTYGET = 2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 8;

// A 128-bit identifier of an interface or a class.
struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID& A, const GUID& B) noexcept {
    if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (A.Data4[i] != B.Data4[i]) return false;
    return true;
  }
};

using IID = GUID;
using CLSID = GUID;

inline constexpr IID IID_NULL{};
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal, as the registry keeps it.
std::string GuidToString(const GUID& Guid);
// The same form, in either letter case; nothing else is accepted.
std::optional<GUID> GuidFromString(std::string_view Text);

}  // namespace kyv
