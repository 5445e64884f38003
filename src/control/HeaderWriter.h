#pragma once

#include <string>

#include "com/TypeData.h"

namespace kyv {

// The public C and C++ header of the control's contract (include/kyv/kyvplayer.h), written
// from the type library's data: identifiers, enumerations, member numbers and the IKyvPlayer
// table for both languages, with "long" as a 32-bit type.
std::string WriteKyvPlayerHeader(const com::TLibraryData& Library);

}  // namespace kyv
