#include "com/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace kyv::com {

namespace {

// A value larger than this is not a registry text: refused rather than read whole.
constexpr uintmax_t kMaxValueBytes = 64 * 1024;

bool HasControl(std::string_view Text) {
  for (char c : Text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

const char* Env(const char* Name) {
  const char* value = std::getenv(Name);
  return value != nullptr && *value != 0 ? value : nullptr;
}

bool WriteAll(int Descriptor, std::string_view Data) {
  while (!Data.empty()) {
    const ssize_t written = ::write(Descriptor, Data.data(), Data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    Data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

fs::path TRegistry::Root() {
  if (const char* root = Env("KYV_REGISTRY")) return fs::path(root);
  if (const char* data = Env("XDG_DATA_HOME")) return fs::path(data) / "kyvplayer" / "registry";
  if (const char* home = Env("HOME"))
    return fs::path(home) / ".local" / "share" / "kyvplayer" / "registry";
  return {};
}

std::optional<fs::path> TRegistry::KeyFolder(std::string_view Key) {
  const fs::path root = Root();
  if (root.empty() || Key.empty() || HasControl(Key)) return std::nullopt;
  fs::path folder = root;
  size_t at = 0;
  while (at <= Key.size()) {
    const size_t end = Key.find_first_of("\\/", at);
    const std::string_view part =
        Key.substr(at, end == std::string_view::npos ? Key.npos : end - at);
    if (part.empty() || part == "." || part == ".." || part.front() == '@') return std::nullopt;
    folder /= fs::path(std::string(part));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return folder;
}

std::optional<fs::path> TRegistry::ValueFile(const fs::path& Folder, std::string_view Name) {
  if (Name.find('/') != std::string_view::npos || HasControl(Name)) return std::nullopt;
  return Folder / ("@" + std::string(Name));
}

HRESULT TRegistry::CreateKey(std::string_view Key) {
  const auto folder = KeyFolder(Key);
  if (!folder) return E_INVALIDARG;
  std::error_code error;
  fs::create_directories(*folder, error);
  return error || !fs::is_directory(*folder) ? REGDB_E_WRITEREGDB : S_OK;
}

HRESULT TRegistry::SetValue(std::string_view Key, std::string_view Name, std::string_view Value) {
  const auto folder = KeyFolder(Key);
  if (!folder) return E_INVALIDARG;
  const auto file = ValueFile(*folder, Name);
  if (!file) return E_INVALIDARG;
  if (const HRESULT created = CreateKey(Key); FAILED(created)) return created;
  // The temporary name starts with "." so that no reader takes it for a value.
  std::string temporary = (*folder / (".@tmp.XXXXXX")).string();
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0) return REGDB_E_WRITEREGDB;
  const bool written = WriteAll(descriptor, Value) && ::fchmod(descriptor, 0644) == 0;
  const bool closed = ::close(descriptor) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), file->c_str()) != 0) {
    ::unlink(temporary.c_str());
    return REGDB_E_WRITEREGDB;
  }
  return S_OK;
}

HRESULT TRegistry::GetValue(std::string_view Key, std::string_view Name, std::string& Value) {
  const auto folder = KeyFolder(Key);
  if (!folder) return E_INVALIDARG;
  const auto file = ValueFile(*folder, Name);
  if (!file) return E_INVALIDARG;
  std::error_code error;
  if (!fs::is_regular_file(*file, error)) return S_FALSE;
  const uintmax_t size = fs::file_size(*file, error);
  if (error || size > kMaxValueBytes) return REGDB_E_READREGDB;
  std::ifstream in(*file, std::ios::binary);
  if (!in) return S_FALSE;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || text.size() > kMaxValueBytes) return REGDB_E_READREGDB;
  Value = std::move(text);
  return S_OK;
}

HRESULT TRegistry::DeleteKey(std::string_view Key) {
  const auto folder = KeyFolder(Key);
  if (!folder) return E_INVALIDARG;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(*folder, error))) return S_FALSE;
  for (const fs::directory_entry& entry : fs::directory_iterator(*folder, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error)) return E_ACCESSDENIED;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(*folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("@") || name.starts_with(".@")) fs::remove(entry.path(), error);
  }
  if (!fs::remove(*folder, error) || error) return E_ACCESSDENIED;
  return S_OK;
}

}  // namespace kyv::com

using kyv::com::TRegistry;

extern "C" {

size_t KyvRegistryRoot(char* buffer, size_t size) {
  try {
    const std::string root = TRegistry::Root().string();
    if (root.empty()) return 0;
    if (buffer != nullptr && size > root.size()) std::memcpy(buffer, root.c_str(), root.size() + 1);
    return root.size() + 1;
  } catch (...) {
    return 0;
  }
}

HRESULT KyvRegCreateKey(const char* key) {
  if (key == nullptr) return E_INVALIDARG;
  try {
    return TRegistry::CreateKey(key);
  } catch (...) {
    return REGDB_E_WRITEREGDB;
  }
}

HRESULT KyvRegSetValue(const char* key, const char* name, const char* value) {
  if (key == nullptr || value == nullptr) return E_INVALIDARG;
  try {
    return TRegistry::SetValue(key, name != nullptr ? name : "", value);
  } catch (...) {
    return REGDB_E_WRITEREGDB;
  }
}

HRESULT KyvRegGetValue(const char* key, const char* name, char* buffer, size_t size,
                       size_t* needed) {
  if (key == nullptr) return E_INVALIDARG;
  try {
    std::string value;
    const HRESULT result = TRegistry::GetValue(key, name != nullptr ? name : "", value);
    if (result != S_OK) return result;
    if (needed != nullptr) *needed = value.size() + 1;
    if (buffer == nullptr || size <= value.size()) return E_OUTOFMEMORY;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return S_OK;
  } catch (...) {
    return REGDB_E_READREGDB;
  }
}

HRESULT KyvRegDeleteKey(const char* key) {
  if (key == nullptr) return E_INVALIDARG;
  try {
    return TRegistry::DeleteKey(key);
  } catch (...) {
    return E_ACCESSDENIED;
  }
}

}  // extern "C"
