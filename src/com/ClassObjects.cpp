#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "com/GuidText.h"
#include "com/Registry.h"
#include "com/Utf.h"

namespace kyv::com {

namespace {

thread_local int tInitialized = 0;

// Component libraries stay loaded for the life of the process: objects of theirs may be held
// anywhere, and unloading under them would leave dangling tables.
class TLoadedLibraries {
 public:
  // The library's export Name, loading it on first use; null with the reason in Result.
  void* EntryOf(const std::string& Path, const char* Name, HRESULT& Result) {
    std::lock_guard lock(FLock);
    void*& handle = FHandles[Path];
    if (handle == nullptr) handle = ::dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      FHandles.erase(Path);
      Result = CO_E_DLLNOTFOUND;
      return nullptr;
    }
    void* entry = ::dlsym(handle, Name);
    if (entry == nullptr) {
      Result = CO_E_ERRORINDLL;
      return nullptr;
    }
    Result = S_OK;
    return entry;
  }

 private:
  std::mutex FLock;
  std::map<std::string, void*> FHandles;  // guarded by FLock
};

TLoadedLibraries& Libraries() {
  static TLoadedLibraries* libraries = new TLoadedLibraries;  // lives as long as the libraries
  return *libraries;
}

}  // namespace

}  // namespace kyv::com

using namespace kyv::com;

extern "C" {

HRESULT CoInitializeEx(void*, DWORD) {
  return tInitialized++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize(void) {
  if (tInitialized > 0) --tInitialized;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (tInitialized == 0) return CO_E_NOTINITIALIZED;
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  try {
    std::string path;
    const HRESULT found =
        TRegistry::GetValue("CLSID\\" + GuidText(rclsid) + "\\InprocServer32", "", path);
    if (found != S_OK) return REGDB_E_CLASSNOTREG;
    // Only a full path: a bare name would be looked up along the loader's search path.
    if (path.empty() || path.front() != '/') return CO_E_DLLNOTFOUND;
    HRESULT result = S_OK;
    const auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(
        Libraries().EntryOf(path, "DllGetClassObject", result));
    if (entry == nullptr) return result;
    return entry(rclsid, riid, ppv);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  void* factory = nullptr;
  HRESULT result = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, &factory);
  if (FAILED(result)) return result;
  auto* classFactory = static_cast<IClassFactory*>(factory);
  result = classFactory->CreateInstance(nullptr, riid, ppv);
  classFactory->Release();
  return result;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  try {
    size_t length = 0;
    while (lpszProgID[length] != 0) ++length;
    const std::string progId = Utf16ToUtf8(std::u16string_view(lpszProgID, length));
    std::string text;
    if (TRegistry::GetValue(progId + "\\Clsid", "", text) != S_OK) return CO_E_CLASSSTRING;
    const std::u16string wide = Utf8ToUtf16(text);
    return CLSIDFromString(wide.c_str(), lpclsid);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_POINTER;
  *pptlib = nullptr;
  if (szFile == nullptr) return E_INVALIDARG;
  try {
    size_t length = 0;
    while (szFile[length] != 0) ++length;
    const std::string path = Utf16ToUtf8(std::u16string_view(szFile, length));
    if (path.find('/') == std::string::npos) return CO_E_DLLNOTFOUND;
    HRESULT result = S_OK;
    const auto entry =
        reinterpret_cast<LPFNGETTYPELIB>(Libraries().EntryOf(path, "DllGetTypeLib", result));
    if (entry == nullptr) return result;
    return entry(pptlib);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
