#include "source/live/StationAddress.h"

namespace kyv {

namespace {

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

// "%XX" becomes the byte XX; a "%" that does not start an escape stays as it is.
std::string DecodeEscapes(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '%' && i + 2 < Text.size()) {
      const int high = HexValue(Text[i + 1]);
      const int low = HexValue(Text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(Text[i]);
  }
  return out;
}

}  // namespace

std::string TrimText(std::string_view Text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t first = 0, last = Text.size();
  while (first < last && blank(Text[first])) ++first;
  while (last > first && blank(Text[last - 1])) --last;
  return std::string(Text.substr(first, last - first));
}

TStationAddress SplitStationAddress(std::string_view Address) {
  TStationAddress result;
  const size_t scheme = Address.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return result;
  std::string_view rest = Address.substr(scheme + 3);
  const size_t pathAt = rest.find('/');
  std::string_view authority = rest.substr(0, pathAt);
  const std::string_view path = pathAt == std::string_view::npos ? "" : rest.substr(pathAt);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
    authority = authority.substr(at + 1);

  std::string_view host = authority;
  uint32_t port = 0;
  if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    const std::string_view digits = authority.substr(colon + 1);
    for (char c : digits) {
      if (c < '0' || c > '9') return result;
      port = port * 10 + static_cast<uint32_t>(c - '0');
      if (port > 65535) return result;
    }
  }
  result.Host = TrimText(DecodeEscapes(host));
  result.Port = static_cast<uint16_t>(port);
  result.Channel = path.empty() ? "" : TrimText(DecodeEscapes(path.substr(1)));
  return result;
}

}  // namespace kyv
