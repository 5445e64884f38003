#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "kyv/kyvcom.h"

namespace kyv::com {

// One owned VARIANT, cleared when the holder goes. Layout-compatible with VARIANT, so an array
// of them can be handed to Invoke as its arguments. Not for concurrent use.
class TVariant : public VARIANT {
 public:
  TVariant() noexcept { VariantInit(this); }
  TVariant(const TVariant& Other) : TVariant() { VariantCopy(this, &Other); }
  TVariant(TVariant&& Other) noexcept : VARIANT(Other) { VariantInit(&Other); }
  TVariant& operator=(TVariant Other) noexcept {
    std::swap(static_cast<VARIANT&>(*this), static_cast<VARIANT&>(Other));
    return *this;
  }
  ~TVariant() { VariantClear(this); }

  static TVariant I2(int16_t Value) noexcept {
    return Make(VT_I2, [&](VARIANT& v) { v.u.iVal = Value; });
  }
  static TVariant I4(int32_t Value) noexcept {
    return Make(VT_I4, [&](VARIANT& v) { v.u.lVal = Value; });
  }
  static TVariant I8(int64_t Value) noexcept {
    return Make(VT_I8, [&](VARIANT& v) { v.u.llVal = Value; });
  }
  static TVariant Bool(bool Value) noexcept {
    return Make(VT_BOOL, [&](VARIANT& v) { v.u.boolVal = Value ? VARIANT_TRUE : VARIANT_FALSE; });
  }
  static TVariant Text(std::u16string_view Value) {
    return Make(VT_BSTR, [&](VARIANT& v) {
      v.u.bstrVal = SysAllocStringLen(Value.data(), static_cast<UINT>(Value.size()));
    });
  }
  static TVariant Utf8(const char* Value) {
    return Make(VT_BSTR, [&](VARIANT& v) { v.u.bstrVal = SysAllocStringUtf8(Value); });
  }
  // Borrows Target, which must outlive the value's use.
  static TVariant ByRefI2(int16_t* Target) noexcept {
    return Make(VT_BYREF | VT_I2, [&](VARIANT& v) { v.u.piVal = Target; });
  }

 private:
  template <class F>
  static TVariant Make(VARTYPE Type, F&& Fill) {
    TVariant v;
    v.vt = Type;
    Fill(v);
    return v;
  }
};

static_assert(sizeof(TVariant) == sizeof(VARIANT), "arrays of TVariant are arrays of VARIANT");

}  // namespace kyv::com
