#include "platform/ComVariant.h"

#include <charconv>
#include <limits>
#include <utility>

#include "platform/ComDispatch.h"
#include "platform/ComUnknown.h"
#include "platform/Errors.h"
#include "platform/TextCodec.h"

namespace kyv {

namespace {

constexpr std::u16string_view kTrueText = u"True";
constexpr std::u16string_view kFalseText = u"False";

template <class T>
HRESULT Narrow(int64_t Value, T& Out) {
  if (Value < std::numeric_limits<T>::min() || Value > std::numeric_limits<T>::max())
    return DISP_E_OVERFLOW;
  Out = static_cast<T>(Value);
  return S_OK;
}

// A decimal integer with an optional sign and surrounding spaces, as scripts write numbers.
HRESULT ParseDecimal(std::u16string_view Text, int64_t& Out) {
  std::string ascii;
  for (char16_t c : Text) {
    if (c > 0x7F) return DISP_E_TYPEMISMATCH;
    ascii.push_back(static_cast<char>(c));
  }
  const size_t first = ascii.find_first_not_of(' ');
  const size_t last = ascii.find_last_not_of(' ');
  if (first == std::string::npos) return DISP_E_TYPEMISMATCH;
  const char* begin = ascii.data() + first;
  const char* end = ascii.data() + last + 1;
  if (*begin == '+') {
    ++begin;
    // from_chars would take the minus of "+-5" as the number's own sign.
    if (begin == end || *begin == '-') return DISP_E_TYPEMISMATCH;
  }
  int64_t value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (error == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (error != std::errc() || stop != end) return DISP_E_TYPEMISMATCH;
  Out = value;
  return S_OK;
}

}  // namespace

BSTR ToBstr(std::string_view Text) {
  return ToUtf16(Text);
}

std::string FromBstr(std::u16string_view Text) {
  return FromUtf16(Text);
}

VARIANT::VARIANT(const VARIANT& Other) : VARIANT() {
  CopyFrom(Other);
}

VARIANT::VARIANT(VARIANT&& Other) noexcept
    : FType(std::exchange(Other.FType, VT_EMPTY)),
      FValue(Other.FValue),
      FText(std::move(Other.FText)) {
  Other.FValue.I8 = 0;
  Other.FText.clear();
}

VARIANT& VARIANT::operator=(const VARIANT& Other) {
  if (this != &Other) {
    VARIANT copy(Other);
    *this = std::move(copy);
  }
  return *this;
}

VARIANT& VARIANT::operator=(VARIANT&& Other) noexcept {
  if (this != &Other) {
    Clear();
    FType = std::exchange(Other.FType, VT_EMPTY);
    FValue = Other.FValue;
    Other.FValue.I8 = 0;
    FText = std::move(Other.FText);
    Other.FText.clear();
  }
  return *this;
}

void VARIANT::CopyFrom(const VARIANT& Other) {
  FText = Other.FText;
  FType = Other.FType;
  FValue = Other.FValue;
  if (FType == VT_UNKNOWN && FValue.Unknown != nullptr) FValue.Unknown->AddRef();
  if (FType == VT_DISPATCH && FValue.Dispatch != nullptr) FValue.Dispatch->AddRef();
}

void VARIANT::Clear() noexcept {
  if (FType == VT_UNKNOWN && FValue.Unknown != nullptr) FValue.Unknown->Release();
  if (FType == VT_DISPATCH && FValue.Dispatch != nullptr) FValue.Dispatch->Release();
  FType = VT_EMPTY;
  FValue.I8 = 0;
  FText.clear();
}

VARIANT VARIANT::I2(int16_t Value) {
  VARIANT v;
  v.FType = VT_I2;
  v.FValue.I2 = Value;
  return v;
}

VARIANT VARIANT::I4(int32_t Value) {
  VARIANT v;
  v.FType = VT_I4;
  v.FValue.I4 = Value;
  return v;
}

VARIANT VARIANT::I8(int64_t Value) {
  VARIANT v;
  v.FType = VT_I8;
  v.FValue.I8 = Value;
  return v;
}

VARIANT VARIANT::Bool(bool Value) {
  VARIANT v;
  v.FType = VT_BOOL;
  v.FValue.Bool = Value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT VARIANT::Bstr(BSTR Value) {
  VARIANT v;
  v.FType = VT_BSTR;
  v.FText = std::move(Value);
  return v;
}

VARIANT VARIANT::Dispatch(IDispatch* Value) {
  VARIANT v;
  v.FType = VT_DISPATCH;
  v.FValue.Dispatch = Value;
  if (Value != nullptr) Value->AddRef();
  return v;
}

VARIANT VARIANT::Unknown(IUnknown* Value) {
  VARIANT v;
  v.FType = VT_UNKNOWN;
  v.FValue.Unknown = Value;
  if (Value != nullptr) Value->AddRef();
  return v;
}

VARIANT VARIANT::ByRefI2(int16_t* Target) {
  KYV_ASSERT(Target != nullptr);
  VARIANT v;
  v.FType = VT_BYREF | VT_I2;
  v.FValue.RefI2 = Target;
  return v;
}

int16_t VARIANT::iVal() const {
  KYV_ASSERT(FType == VT_I2);
  return FValue.I2;
}

int32_t VARIANT::lVal() const {
  KYV_ASSERT(FType == VT_I4);
  return FValue.I4;
}

int64_t VARIANT::llVal() const {
  KYV_ASSERT(FType == VT_I8);
  return FValue.I8;
}

VARIANT_BOOL VARIANT::boolVal() const {
  KYV_ASSERT(FType == VT_BOOL);
  return FValue.Bool;
}

const BSTR& VARIANT::bstrVal() const {
  KYV_ASSERT(FType == VT_BSTR);
  return FText;
}

IDispatch* VARIANT::pdispVal() const {
  KYV_ASSERT(FType == VT_DISPATCH);
  return FValue.Dispatch;
}

IUnknown* VARIANT::punkVal() const {
  KYV_ASSERT(FType == VT_UNKNOWN);
  return FValue.Unknown;
}

int16_t* VARIANT::piVal() const {
  KYV_ASSERT(FType == (VT_BYREF | VT_I2));
  return FValue.RefI2;
}

HRESULT VARIANT::ToInt64(int64_t& Out) const {
  switch (FType) {
    case VT_EMPTY:
      Out = 0;
      return S_OK;
    case VT_I2:
      Out = FValue.I2;
      return S_OK;
    case VT_I4:
      Out = FValue.I4;
      return S_OK;
    case VT_I8:
      Out = FValue.I8;
      return S_OK;
    case VT_BOOL:
      Out = FValue.Bool != VARIANT_FALSE ? -1 : 0;
      return S_OK;
    case VT_BYREF | VT_I2:
      Out = *FValue.RefI2;
      return S_OK;
    case VT_BSTR:
      return ParseDecimal(FText, Out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT VARIANT::ToInt32(int32_t& Out) const {
  int64_t wide = 0;
  const HRESULT result = ToInt64(wide);
  return Failed(result) ? result : Narrow(wide, Out);
}

HRESULT VARIANT::ToInt16(int16_t& Out) const {
  int64_t wide = 0;
  const HRESULT result = ToInt64(wide);
  return Failed(result) ? result : Narrow(wide, Out);
}

HRESULT VARIANT::ToBool(bool& Out) const {
  if (FType == VT_BSTR) {
    // Names of the truth values in any letter case, or a number.
    std::u16string folded = FText;
    for (char16_t& c : folded)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (folded == u"TRUE") {
      Out = true;
      return S_OK;
    }
    if (folded == u"FALSE") {
      Out = false;
      return S_OK;
    }
  }
  int64_t value = 0;
  const HRESULT result = ToInt64(value);
  if (Failed(result)) return result;
  Out = value != 0;
  return S_OK;
}

HRESULT VARIANT::ToBstr(BSTR& Out) const {
  if (FType == VT_BSTR) {
    Out = FText;
    return S_OK;
  }
  if (FType == VT_BOOL) {
    Out = BSTR(FValue.Bool != VARIANT_FALSE ? kTrueText : kFalseText);
    return S_OK;
  }
  if (FType == VT_EMPTY) {
    Out.clear();
    return S_OK;
  }
  int64_t value = 0;
  const HRESULT result = ToInt64(value);
  if (Failed(result)) return result;
  const std::string digits = std::to_string(value);
  Out.assign(digits.begin(), digits.end());
  return S_OK;
}

}  // namespace kyv
