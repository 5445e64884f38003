// The component entry points of the control library: its objects have the Qt form.
#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/TypeLib.h"
#include "control/KyvPlayerObject.h"
#include "control/KyvPlayerTypeLib.h"
#include "control/Registration.h"
#include "ui/QtControlForm.h"

namespace {

kyv::com::TComPtr<kyv::TKyvPlayerObject> MakeControl() {
  return kyv::com::MakeCom<kyv::TKyvPlayerObject>(std::string(), &kyv::TQtControlForm::Make);
}

}  // namespace

extern "C" {

KYVCOM_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KYVCOM_API HRESULT DllRegisterServer(void);
KYVCOM_API HRESULT DllUnregisterServer(void);
KYVCOM_API HRESULT DllCanUnloadNow(void);
KYVCOM_API HRESULT DllGetTypeLib(ITypeLib** pptlib);

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return kyv::com::GetClassObject<kyv::TKyvPlayerObject>(rclsid, kyv::kClsidKyvPlayerCtrl, riid,
                                                         ppv, &MakeControl);
}

HRESULT DllRegisterServer(void) {
  try {
    const std::string path = kyv::ThisLibraryPath();
    if (path.empty()) return SELFREG_E_CLASS;
    return kyv::RegisterControl(path);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT DllUnregisterServer(void) {
  try {
    return kyv::UnregisterControl();
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT DllCanUnloadNow(void) {
  return kyv::com::ModuleLocks().load() == 0 ? S_OK : S_FALSE;
}

HRESULT DllGetTypeLib(ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_POINTER;
  *pptlib = new (std::nothrow) kyv::com::TTypeLib(kyv::KyvPlayerTypeLibrary());
  return *pptlib != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // extern "C"
