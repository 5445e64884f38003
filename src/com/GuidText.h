#pragma once

#include <string>

#include "kyv/kyvcom.h"

namespace kyv::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry keeps identifiers.
inline std::string GuidText(const GUID& Guid) {
  OLECHAR wide[39];
  StringFromGUID2(Guid, wide, 39);
  return std::string(wide, wide + 38);
}

}  // namespace kyv::com
