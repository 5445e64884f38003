#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/ComTypes.h"
#include "platform/ComUnknown.h"
#include "platform/ComVariant.h"

namespace kyv {

inline constexpr DISPID DISPID_PROPERTYPUT = -3;

// The arguments of one Invoke. As in every Automation call, rgvarg holds them last first: the
// first argument a script writes is rgvarg[cArgs - 1]. Named arguments come first in rgvarg,
// with their identifiers in rgdispidNamedArgs.
struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  uint32_t cArgs = 0;
  uint32_t cNamedArgs = 0;
};

// What a member that failed with DISP_E_EXCEPTION tells its caller.
struct EXCEPINFO {
  WORD wCode = 0;
  BSTR bstrSource;
  BSTR bstrDescription;
  HRESULT scode = S_OK;
};

// Late-bound calls by member number: what scripts use, and what the control's event sink is.
// Which threads may call an object's members its class says; the helpers below hold no state
// and may be used on any thread.
class IDispatch : public IUnknown {
 public:
  static constexpr IID kIid = IID_IDispatch;
  static bool Answers(const IID& Iid) noexcept {
    return Iid == IID_IDispatch || IUnknown::Answers(Iid);
  }

  // Names[0] is a member's name, any further ones its parameters' names; Ids receives one
  // identifier per name, DISPID_UNKNOWN for each that is not known (the result is then
  // DISP_E_UNKNOWNNAME). Names compare without regard to letter case. Iid is IID_NULL.
  virtual HRESULT GetIDsOfNames(const IID& Iid, std::span<const BSTR> Names, LCID Locale,
                                DISPID* Ids) = 0;
  // Calls Member as Flags says (DISPATCH_...). Result, Exception and ArgError may be null.
  // Unknown members give DISP_E_MEMBERNOTFOUND, a wrong number of arguments
  // DISP_E_BADPARAMCOUNT, an argument that cannot be taken as its type DISP_E_TYPEMISMATCH with
  // its index in rgvarg in *ArgError.
  virtual HRESULT Invoke(DISPID Member, const IID& Iid, LCID Locale, WORD Flags, DISPPARAMS* Params,
                         VARIANT* Result, EXCEPINFO* Exception, uint32_t* ArgError) = 0;

 protected:
  ~IDispatch() = default;
};

// One row of a member table that an implementation of GetIDsOfNames looks names up in.
struct TDispatchName {
  std::u16string_view Name;
  DISPID Id;
};

// True when the names are equal but for the case of the letters A to Z; the member names of
// the system's interfaces are plain ASCII.
bool SameNameNoCase(std::u16string_view A, std::u16string_view B) noexcept;

// GetIDsOfNames over a table of member names; parameter names are never known.
HRESULT LookUpNames(std::span<const TDispatchName> Table, std::span<const BSTR> Names, DISPID* Ids);

// Checks that Params holds exactly Count positional arguments and no named ones.
HRESULT CheckArguments(const DISPPARAMS* Params, uint32_t Count) noexcept;
// Argument Index of checked Params, counted as the caller writes them (0 = first).
VARIANT& Argument(const DISPPARAMS& Params, uint32_t Index);

// Calls Member of Target as a method with Args in the order a caller writes them, and returns
// Target's result. Result may be null. A by-reference argument lets Target write through it.
HRESULT InvokeMethod(IDispatch& Target, DISPID Member, std::span<const VARIANT> Args,
                     VARIANT* Result = nullptr);

}  // namespace kyv
