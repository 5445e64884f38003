#pragma once

#include <string>

#include "com/Bstr.h"
#include "com/ComObject.h"

namespace kyv::com {

// The error information a failing member leaves on its thread: texts fixed when made, so any
// thread may read them.
class TErrorInfo : public TComObject<IErrorInfo> {
 public:
  TErrorInfo(const GUID& Interface, std::u16string Source, std::u16string Description);

  HRESULT GetGUID(GUID* pGUID) override;
  HRESULT GetSource(BSTR* pBstrSource) override;
  HRESULT GetDescription(BSTR* pBstrDescription) override;
  HRESULT GetHelpFile(BSTR* pBstrHelpFile) override;
  HRESULT GetHelpContext(DWORD* pdwHelpContext) override;

 private:
  const GUID FInterface;
  const std::u16string FSource;
  const std::u16string FDescription;
};

}  // namespace kyv::com
