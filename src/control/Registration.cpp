#include "control/Registration.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "com/GuidText.h"
#include "control/KyvPlayerTypeLib.h"

namespace kyv {

namespace {

using com::GuidText;

std::string Folder(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  return slash == std::string::npos ? std::string() : Path.substr(0, slash);
}

// The standard proxies of a dual and of a dispatch-only interface.
constexpr char kDualProxy[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchProxy[] = "{00020420-0000-0000-C000-000000000046}";

std::vector<std::string> KeysToDelete() {
  const std::string clsid = "CLSID\\" + GuidText(kClsidKyvPlayerCtrl);
  std::vector<std::string> keys = {clsid + "\\Verb\\0", clsid + "\\Verb"};
  std::vector<TRegistryEntry> entries = RegistrationEntries({});
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!keys.empty() && keys.back() == it->Key) continue;
    if (it->Key.starts_with(clsid + "\\Verb")) continue;
    keys.push_back(it->Key);
    // The platform key's parent, the locale, is no entry of its own.
    if (it->Key.ends_with("\\0\\linux64")) keys.push_back(it->Key.substr(0, it->Key.size() - 8));
  }
  // Parents of what the type library registered, left empty by the deletions above.
  keys.push_back("TypeLib\\" + GuidText(kLibidKyvPlayerTLB));
  for (const char* shared : {"CLSID", "TypeLib", "Interface"}) keys.push_back(shared);
  return keys;
}

}  // namespace

std::vector<TRegistryEntry> RegistrationEntries(const std::string& LibraryPath) {
  const std::string clsid = "CLSID\\" + GuidText(kClsidKyvPlayerCtrl);
  const std::string libid = GuidText(kLibidKyvPlayerTLB);
  const com::TLibraryData& library = KyvPlayerTypeLibrary();
  const std::string version = std::to_string(library.Major) + "." + std::to_string(library.Minor);
  const std::string typeLib = "TypeLib\\" + libid + "\\" + version;
  std::vector<TRegistryEntry> entries = {
      {clsid, "", kControlHelp},
      {clsid + "\\InprocServer32", "", LibraryPath},
      {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {clsid + "\\ProgID", "", kProgId},
      {kProgId, "", kControlHelp},
      {std::string(kProgId) + "\\Clsid", "", GuidText(kClsidKyvPlayerCtrl)},
      {clsid + "\\TypeLib", "", libid},
      {clsid + "\\Version", "", version},
      {clsid + "\\MiscStatus", "", "0"},
      {clsid + "\\MiscStatus\\1", "", std::to_string(kMiscStatus)},
      {clsid + "\\ToolboxBitmap32", "", LibraryPath + ",1"},
      {clsid + "\\Control", "", "", true},
      {clsid + "\\Verb", "", "", true},
      {clsid + "\\Verb\\0", "", "Properties,0,2"},
      {typeLib, "", library.Help},
      {typeLib + "\\0\\linux64", "", LibraryPath},
      {typeLib + "\\FLAGS", "", std::to_string(library.Flags)},
      {typeLib + "\\HELPDIR", "", Folder(LibraryPath)},
  };
  for (int index : {kTypeIKyvPlayer, kTypeIKyvPlayerEvents}) {
    const com::TTypeData& type = library.Types[static_cast<size_t>(index)];
    const std::string key = "Interface\\" + GuidText(type.Guid);
    const char* proxy = type.Kind == TKIND_DISPATCH ? kDispatchProxy : kDualProxy;
    entries.push_back({key, "", type.Name});
    entries.push_back({key + "\\ProxyStubClsid", "", proxy});
    entries.push_back({key + "\\ProxyStubClsid32", "", proxy});
    entries.push_back({key + "\\TypeLib", "", libid});
    entries.push_back({key + "\\TypeLib", "Version", version});
  }
  return entries;
}

HRESULT RegisterControl(const std::string& LibraryPath) {
  for (const TRegistryEntry& entry : RegistrationEntries(LibraryPath)) {
    const HRESULT result =
        entry.Empty ? KyvRegCreateKey(entry.Key.c_str())
                    : KyvRegSetValue(entry.Key.c_str(), entry.Name.c_str(), entry.Value.c_str());
    if (FAILED(result)) {
      UnregisterControl();
      return result == E_INVALIDARG ? SELFREG_E_CLASS : result;
    }
  }
  return S_OK;
}

HRESULT UnregisterControl() {
  HRESULT outcome = S_OK;
  for (const std::string& key : KeysToDelete()) {
    const HRESULT result = KyvRegDeleteKey(key.c_str());
    // The shared parents may hold other registrations: that is no failure.
    const bool shared = key.find('\\') == std::string::npos;
    if (FAILED(result) && !shared && SUCCEEDED(outcome)) outcome = result;
  }
  return outcome;
}

std::string ThisLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ThisLibraryPath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
  return resolved;
}

}  // namespace kyv
