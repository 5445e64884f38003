#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "com/Bstr.h"
#include "kyv/kyvcom.h"

using kyv::com::TBstr;

namespace {

bool IsPlainKind(VARTYPE Kind) noexcept {
  switch (Kind) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
    case VT_ERROR:
      return true;
    default:
      return false;
  }
}

bool IsKnownKind(VARTYPE Kind) noexcept {
  if ((Kind & VT_BYREF) != 0) {
    const VARTYPE target = Kind & ~VT_BYREF;
    return IsPlainKind(target) || target == VT_BSTR || target == VT_DISPATCH ||
           target == VT_UNKNOWN || target == VT_VARIANT;
  }
  return IsPlainKind(Kind) || Kind == VT_BSTR || Kind == VT_DISPATCH || Kind == VT_UNKNOWN;
}

// The value a by-reference variant points at, as a plain variant that borrows texts and
// interfaces (never to be cleared). False when the reference is null or of an unknown kind.
bool ReadThrough(const VARIANT& Source, VARIANT& Plain) noexcept {
  Plain = Source;
  if ((Source.vt & VT_BYREF) == 0) return true;
  if (Source.u.byref == nullptr) return false;
  const VARTYPE target = Source.vt & ~VT_BYREF;
  Plain.vt = target;
  switch (target) {
    case VT_I1:
    case VT_UI1:
      Plain.u.bVal = *static_cast<const uint8_t*>(Source.u.byref);
      return true;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      Plain.u.iVal = *Source.u.piVal;
      return true;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
    case VT_R4:
      Plain.u.lVal = *Source.u.plVal;
      return true;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
      Plain.u.llVal = *Source.u.pllVal;
      return true;
    case VT_BSTR:
      Plain.u.bstrVal = *Source.u.pbstrVal;
      return true;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      Plain.u.punkVal = *reinterpret_cast<IUnknown* const*>(Source.u.byref);
      return true;
    case VT_VARIANT:
      // One level only: a variant by reference to another by-reference variant is refused.
      if ((Source.u.pvarVal->vt & VT_BYREF) != 0) return false;
      Plain = *Source.u.pvarVal;
      return true;
    default:
      return false;
  }
}

HRESULT FromDouble(double Value, int64_t& Out) noexcept {
  if (!std::isfinite(Value)) return DISP_E_OVERFLOW;
  const double rounded = std::nearbyint(Value);  // to even, as Automation rounds
  if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) return DISP_E_OVERFLOW;
  Out = static_cast<int64_t>(rounded);
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

bool IsNamed(std::u16string_view Text, std::u16string_view Name) noexcept {
  if (Text.size() != Name.size()) return false;
  for (size_t i = 0; i < Text.size(); ++i) {
    char16_t c = Text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != Name[i]) return false;
  }
  return true;
}

HRESULT ToInteger(const VARIANT& V, int64_t& Out) {
  switch (V.vt) {
    case VT_EMPTY:
      Out = 0;
      return S_OK;
    case VT_I1:
      Out = static_cast<int8_t>(V.u.bVal);
      return S_OK;
    case VT_UI1:
      Out = V.u.bVal;
      return S_OK;
    case VT_I2:
      Out = V.u.iVal;
      return S_OK;
    case VT_UI2:
      Out = static_cast<uint16_t>(V.u.iVal);
      return S_OK;
    case VT_I4:
    case VT_INT:
      Out = V.u.lVal;
      return S_OK;
    case VT_UI4:
    case VT_UINT:
      Out = static_cast<uint32_t>(V.u.lVal);
      return S_OK;
    case VT_I8:
      Out = V.u.llVal;
      return S_OK;
    case VT_UI8:
      if (V.u.llVal < 0) return DISP_E_OVERFLOW;
      Out = V.u.llVal;
      return S_OK;
    case VT_R4:
      return FromDouble(V.u.fltVal, Out);
    case VT_R8:
      return FromDouble(V.u.dblVal, Out);
    case VT_BOOL:
      Out = V.u.boolVal != VARIANT_FALSE ? -1 : 0;
      return S_OK;
    case VT_BSTR: {
      const std::u16string_view text = TBstr::View(V.u.bstrVal);
      if (IsNamed(text, u"TRUE")) {
        Out = -1;
        return S_OK;
      }
      if (IsNamed(text, u"FALSE")) {
        Out = 0;
        return S_OK;
      }
      return ParseDecimal(text, Out);
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

template <class T>
HRESULT Narrow(int64_t Value, T& Out) noexcept {
  if (Value < std::numeric_limits<T>::min() || Value > std::numeric_limits<T>::max())
    return DISP_E_OVERFLOW;
  Out = static_cast<T>(Value);
  return S_OK;
}

HRESULT ToText(const VARIANT& V, BSTR& Out) {
  std::string digits;
  switch (V.vt) {
    case VT_BSTR:
      Out = SysAllocStringLen(V.u.bstrVal, SysStringLen(V.u.bstrVal));
      return Out != nullptr || V.u.bstrVal == nullptr ? S_OK : E_OUTOFMEMORY;
    case VT_EMPTY:
      Out = SysAllocStringLen(u"", 0);
      return Out != nullptr ? S_OK : E_OUTOFMEMORY;
    case VT_BOOL:
      Out = SysAllocString(V.u.boolVal != VARIANT_FALSE ? u"True" : u"False");
      return Out != nullptr ? S_OK : E_OUTOFMEMORY;
    case VT_R4:
    case VT_R8: {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", V.vt == VT_R4 ? V.u.fltVal : V.u.dblVal);
      digits = text;
      break;
    }
    default: {
      int64_t value = 0;
      const HRESULT result = ToInteger(V, value);
      if (FAILED(result)) return result;
      digits = std::to_string(value);
      break;
    }
  }
  const std::u16string wide(digits.begin(), digits.end());
  Out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return Out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The converted value as a new variant that owns what it holds.
HRESULT Convert(const VARIANT& Source, VARTYPE Kind, VARIANT& Out) {
  VariantInit(&Out);
  if (Kind == Source.vt) return VariantCopy(&Out, &Source);
  int64_t value = 0;
  HRESULT result = S_OK;
  switch (Kind) {
    case VT_EMPTY:
      return S_OK;
    case VT_I2:
      if (FAILED(result = ToInteger(Source, value))) return result;
      if (FAILED(result = Narrow(value, Out.u.iVal))) return result;
      break;
    case VT_I4:
      if (FAILED(result = ToInteger(Source, value))) return result;
      if (FAILED(result = Narrow(value, Out.u.lVal))) return result;
      break;
    case VT_I8:
      if (FAILED(result = ToInteger(Source, value))) return result;
      Out.u.llVal = value;
      break;
    case VT_UI4: {
      uint32_t unsignedValue = 0;
      if (FAILED(result = ToInteger(Source, value))) return result;
      if (FAILED(result = Narrow(value, unsignedValue))) return result;
      Out.u.lVal = static_cast<int32_t>(unsignedValue);
      break;
    }
    case VT_BOOL:
      if (FAILED(result = ToInteger(Source, value))) return result;
      Out.u.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_BSTR:
      if (FAILED(result = ToText(Source, Out.u.bstrVal))) return result;
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      if (Source.vt != VT_DISPATCH && Source.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
      IUnknown* object = Source.u.punkVal;
      if (object == nullptr) {
        Out.u.punkVal = nullptr;
        break;
      }
      void* found = nullptr;
      if (FAILED(
              object->QueryInterface(Kind == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &found)))
        return DISP_E_TYPEMISMATCH;
      Out.u.punkVal = static_cast<IUnknown*>(found);
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  Out.vt = Kind;
  return S_OK;
}

}  // namespace

extern "C" {

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->u.brecVal.pvRecord = nullptr;
  pvarg->u.brecVal.pRecInfo = nullptr;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!IsKnownKind(pvarg->vt)) return DISP_E_BADVARTYPE;
  if (pvarg->vt == VT_BSTR) SysFreeString(pvarg->u.bstrVal);
  if ((pvarg->vt == VT_DISPATCH || pvarg->vt == VT_UNKNOWN) && pvarg->u.punkVal != nullptr)
    pvarg->u.punkVal->Release();
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!IsKnownKind(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  VARIANT copy = *pvargSrc;
  if (copy.vt == VT_BSTR && copy.u.bstrVal != nullptr) {
    copy.u.bstrVal = SysAllocStringLen(pvargSrc->u.bstrVal, SysStringLen(pvargSrc->u.bstrVal));
    if (copy.u.bstrVal == nullptr) return E_OUTOFMEMORY;
  }
  if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.u.punkVal != nullptr)
    copy.u.punkVal->AddRef();
  const HRESULT cleared = VariantClear(pvargDest);
  if (FAILED(cleared)) {
    VariantClear(&copy);
    return cleared;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  (void)wFlags;
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!IsKnownKind(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT plain;
  if (!ReadThrough(*pvarSrc, plain)) return DISP_E_TYPEMISMATCH;
  VARIANT converted;
  const HRESULT result = Convert(plain, vt, converted);
  if (FAILED(result)) {
    VariantClear(&converted);
    return result;
  }
  // The source may be the destination: it is cleared only now that the value is safe.
  if (FAILED(VariantClear(pvargDest))) VariantInit(pvargDest);
  *pvargDest = converted;
  return S_OK;
}

}  // extern "C"
