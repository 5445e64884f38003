// A component library of the tests: the test calculator, created through the registry.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include <string>

#include "TestCalcObject.h"
#include "com/ClassFactory.h"
#include "com/GuidText.h"

namespace {

using kyv::com::GuidText;

std::string ClassKey() {
  return "CLSID\\" + GuidText(CLSID_TestCalc);
}

}  // namespace

extern "C" {

KYVCOM_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KYVCOM_API HRESULT DllRegisterServer(void);
KYVCOM_API HRESULT DllUnregisterServer(void);
KYVCOM_API HRESULT DllCanUnloadNow(void);

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return kyv::com::GetClassObject<kyv::test::TTestCalc>(rclsid, CLSID_TestCalc, riid, ppv);
}

HRESULT DllRegisterServer(void) {
  Dl_info info{};
  char path[PATH_MAX];
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 ||
      ::realpath(info.dli_fname, path) == nullptr)
    return SELFREG_E_CLASS;
  const std::string key = ClassKey();
  HRESULT result = KyvRegSetValue(key.c_str(), "", "Test calculator");
  if (SUCCEEDED(result)) result = KyvRegSetValue((key + "\\InprocServer32").c_str(), "", path);
  if (SUCCEEDED(result))
    result = KyvRegSetValue(TESTCALC_PROGID "\\Clsid", "", GuidText(CLSID_TestCalc).c_str());
  return result;
}

HRESULT DllUnregisterServer(void) {
  const std::string key = ClassKey();
  KyvRegDeleteKey((key + "\\InprocServer32").c_str());
  KyvRegDeleteKey(key.c_str());
  KyvRegDeleteKey("CLSID");
  KyvRegDeleteKey(TESTCALC_PROGID "\\Clsid");
  KyvRegDeleteKey(TESTCALC_PROGID);
  return S_OK;
}

HRESULT DllCanUnloadNow(void) {
  return kyv::com::ModuleLocks().load() == 0 ? S_OK : S_FALSE;
}

}  // extern "C"
