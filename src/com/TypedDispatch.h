#pragma once

#include "com/TypeData.h"

namespace kyv::com {

// Late binding driven by the type data: the one IDispatch implementation of every dual
// interface the data describes. Stateless; the object's own rules say which threads may call.

// GetIDsOfNames: Names[0] a member of Type (letter case ignored), any further ones the
// positions of its parameters. Unknown names get DISPID_UNKNOWN and the result
// DISP_E_UNKNOWNNAME.
HRESULT LookUpIds(const TTypeData& Type, LPOLESTR* Names, UINT Count, DISPID* Ids);

// Invoke on Instance, an object whose table is Type's dual interface: picks the member by
// number and Flags, takes its arguments (positional, named by position, a setter's value named
// DISPID_PROPERTYPUT), converts each to its parameter's kind, and calls the member's slot, so
// late-bound and slot calls run the same code. Results: DISP_E_MEMBERNOTFOUND,
// DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH / DISP_E_OVERFLOW (with the
// argument's index in rgvarg in *ArgError), DISP_E_EXCEPTION for a member that failed (its
// HRESULT and the thread's error description in *Exception), E_INVALIDARG for malformed
// parameters, else S_OK with the value of a getter in *Result.
HRESULT InvokeSlot(const TTypeData& Type, void* Instance, DISPID Member, WORD Flags,
                   DISPPARAMS* Params, VARIANT* Result, EXCEPINFO* Exception, UINT* ArgError);

// The four IDispatch members for a dual interface of the library, for an object to forward to.
class TTypedDispatch {
 public:
  TTypedDispatch(const TLibraryData& Library, int TypeIndex) noexcept
      : FLibrary(Library), FIndex(TypeIndex) {}

  HRESULT GetTypeInfoCount(UINT* Count) const;
  HRESULT GetTypeInfo(UINT Index, ITypeInfo** Info) const;
  HRESULT GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, DISPID* Ids) const;
  HRESULT Invoke(void* Instance, DISPID Member, REFIID Iid, WORD Flags, DISPPARAMS* Params,
                 VARIANT* Result, EXCEPINFO* Exception, UINT* ArgError) const;

  const TTypeData& Type() const noexcept { return FLibrary.Types[static_cast<size_t>(FIndex)]; }

 private:
  const TLibraryData& FLibrary;
  const int FIndex;
};

}  // namespace kyv::com
