#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kyv/kyvcom.h"

namespace kyv::com {

// The registry as a folder tree: a key is a folder under the root (HKEY_CLASSES_ROOT), its
// default value the file "@", a value NAME the file "@NAME", each holding UTF-8 text without a
// line end. Writes go to a temporary file that is renamed over the value, so a reader or a
// concurrent writer never sees a torn value. Stateless: any thread, any process.
class TRegistry {
 public:
  // $KYV_REGISTRY, else $XDG_DATA_HOME/kyvplayer/registry, else
  // $HOME/.local/share/kyvplayer/registry; empty when none of them is set.
  static std::filesystem::path Root();

  // The folder of Key ("CLSID\{...}\InprocServer32", "\" or "/" between parts) under Root;
  // nothing for a key that could leave the tree or shadow a value: empty parts, "." or "..",
  // parts starting with "@" or holding control characters.
  static std::optional<std::filesystem::path> KeyFolder(std::string_view Key);
  // The file of a value of that folder; nothing for a name with "/" or control characters.
  static std::optional<std::filesystem::path> ValueFile(const std::filesystem::path& Folder,
                                                        std::string_view Name);

  static HRESULT CreateKey(std::string_view Key);
  static HRESULT SetValue(std::string_view Key, std::string_view Name, std::string_view Value);
  // S_FALSE (and Value untouched) when the key or the value does not exist.
  static HRESULT GetValue(std::string_view Key, std::string_view Name, std::string& Value);
  // Deletes the key's values and its folder; E_ACCESSDENIED while it has sub-keys.
  static HRESULT DeleteKey(std::string_view Key);
};

}  // namespace kyv::com
