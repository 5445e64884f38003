// Description files of any content through the INI reader.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "source/multicast/SmsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kyv::TSmsAddress sms =
      kyv::ParseSmsText(std::string_view(reinterpret_cast<const char*>(data), size));
  // A valid result always names a group and a usable port.
  if (sms.Valid() && (!kyv::IsMulticastGroup(sms.Ip) || sms.Port == 0)) std::abort();
  return 0;
}
