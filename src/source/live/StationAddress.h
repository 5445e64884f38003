#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kyv {

// The parts of a live address "kyvs://host[:port]/channel" that the TCP client uses.
struct TStationAddress {
  std::string Host;     // "" when the address cannot be split or names no host
  uint16_t Port = 0;    // 0 when the address names none
  std::string Channel;  // the path without its first character
};

// Splits Address the way a URL splitter does: a scheme, "//", optional "user[:password]@", the
// host, an optional ":port" and the path; escapes ("%41") in host and path are decoded. Host and
// channel come back trimmed of spaces and control characters. An address without "//", or with
// a port that is not a number from 0 to 65535, gives an empty host. Any thread.
TStationAddress SplitStationAddress(std::string_view Address);

// Text without leading and trailing bytes up to and including the space.
std::string TrimText(std::string_view Text);

}  // namespace kyv
