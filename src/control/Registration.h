#pragma once

#include <string>
#include <vector>

#include "kyv/kyvcom.h"

namespace kyv {

// One registry entry of the control: a key, and a value of it unless Empty (a key that only
// has to exist). Name "" is the key's default value.
struct TRegistryEntry {
  std::string Key;
  std::string Name;
  std::string Value;
  bool Empty = false;
};

inline constexpr char kProgId[] = "KyvPlayerTLB.KyvPlayerCtrl";
inline constexpr char kControlHelp[] = "Kavrindel KyvPlayer Control";
// The control's own status bits and the factory's, registered together.
inline constexpr unsigned kMiscStatus = 0x12000 | 0x20191;

// Every entry the control registers, for the library at LibraryPath, in writing order: the
// class's keys, then those of its type library and its two interfaces.
std::vector<TRegistryEntry> RegistrationEntries(const std::string& LibraryPath);

// Writes them; on a failure removes what it wrote and returns the failure.
HRESULT RegisterControl(const std::string& LibraryPath);
// Deletes them, the verb keys first, children before parents; keys that other registrations
// still use (CLSID, TypeLib, Interface) stay when not empty. S_OK also when nothing was there.
HRESULT UnregisterControl();

// The full path of the shared object holding this code.
std::string ThisLibraryPath();

}  // namespace kyv
