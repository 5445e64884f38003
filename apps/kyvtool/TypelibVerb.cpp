#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "Verbs.h"
#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "com/IdlWriter.h"
#include "control/HeaderWriter.h"
#include "control/KyvPlayerTypeLib.h"

namespace kyv::tool {

namespace {

namespace fs = std::filesystem;

std::string HexResult(HRESULT Result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(Result));
  return text;
}

// The library named on the command line, else the one installed beside this program
// (../lib), else the one of the build tree.
std::string ControlLibrary(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (!arg.starts_with("--")) return fs::absolute(arg).string();
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = self.parent_path().parent_path() / "lib" / "libkyvplayer.so";
    if (fs::exists(installed, error)) return installed.string();
  }
  return KYVPLAYER_BUILD_PATH;
}

std::string RegistryRoot() {
  const size_t needed = KyvRegistryRoot(nullptr, 0);
  if (needed == 0) return {};
  std::string root(needed, '\0');
  KyvRegistryRoot(root.data(), root.size());
  root.pop_back();
  return root;
}

// Calls one of the library's registration entry points.
int CallEntry(const std::vector<std::string>& args, const char* Entry, std::ostream& out,
              std::ostream& err) {
  const std::string library = ControlLibrary(args);
  const std::string root = RegistryRoot();
  if (root.empty()) {
    err << "kyvtool: no registry folder (set KYV_REGISTRY, XDG_DATA_HOME or HOME)\n";
    return kExitBad;
  }
  out << "registry: " << root << "\n";
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    err << "kyvtool: cannot load " << library << ": " << ::dlerror() << "\n";
    return kExitBad;
  }
  const auto entry = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(handle, Entry));
  if (entry == nullptr) {
    err << "kyvtool: " << library << " has no " << Entry << "\n";
    return kExitBad;
  }
  const HRESULT result = entry();
  if (FAILED(result)) {
    err << "kyvtool: " << Entry << " of " << library << " failed with " << HexResult(result)
        << "\n";
    return kExitBad;
  }
  out << Entry << ": " << library << "\n";
  // The library stays loaded: the process ends soon, and objects of it may still be held.
  return kExitOk;
}

}  // namespace

int RunTypelib(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& arg : args)
    if (arg == "--header") {
      out << WriteKyvPlayerHeader(KyvPlayerTypeLibrary());
      return kExitOk;
    } else if (arg.starts_with("--")) {
      err << "kyvtool typelib: unknown option " << arg << "\n";
      return kExitUsage;
    }
  const std::string library = ControlLibrary(args);
  com::TComPtr<ITypeLib> typeLib;
  const com::TBstr path = com::TBstr::FromUtf8(library);
  const HRESULT loaded = LoadTypeLib(path.Get(), typeLib.Receive());
  if (FAILED(loaded)) {
    err << "kyvtool typelib: cannot read the type library of " << library << " ("
        << HexResult(loaded) << ")\n";
    return kExitBad;
  }
  out << "// Type library of " << library << "\n\n";
  const HRESULT written = com::WriteIdl(*typeLib, out);
  if (FAILED(written)) {
    err << "kyvtool typelib: the type library is damaged (" << HexResult(written) << ")\n";
    return kExitBad;
  }
  return kExitOk;
}

int RunRegister(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return CallEntry(args, "DllRegisterServer", out, err);
}

int RunUnregister(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return CallEntry(args, "DllUnregisterServer", out, err);
}

}  // namespace kyv::tool
