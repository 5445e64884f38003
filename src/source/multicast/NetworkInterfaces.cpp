#include "source/multicast/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdlib>

namespace kyv {

namespace {

bool IsDottedAddress(const std::string& Text) {
  in_addr address;
  return inet_pton(AF_INET, Text.c_str(), &address) == 1;
}

std::string Trim(const std::string& Text) {
  const size_t first = Text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = Text.find_last_not_of(" \t");
  return Text.substr(first, last - first + 1);
}

}  // namespace

std::vector<std::string> SelectInterfaces(const std::vector<TInterfaceAddress>& Rows) {
  std::vector<std::string> listed;
  std::vector<uint32_t> taken;
  for (const TInterfaceAddress& row : Rows) {
    if (listed.size() == kMaxMulticastInterfaces) break;
    if (row.Address == "127.0.0.1" || row.Address == "0.0.0.0") continue;
    if (std::find(taken.begin(), taken.end(), row.Index) != taken.end()) continue;
    listed.push_back(row.Address);
    taken.push_back(row.Index);
  }
  return listed;
}

std::vector<TInterfaceAddress> PlatformInterfaceAddresses() {
  std::vector<TInterfaceAddress> rows;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return rows;
  for (const ifaddrs* entry = all; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    // An alias address carries a label "name:n"; the interface is the part before the colon.
    std::string name = entry->ifa_name != nullptr ? entry->ifa_name : "";
    name = name.substr(0, name.find(':'));
    const unsigned index = if_nametoindex(name.c_str());
    if (index == 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    rows.push_back({text, index});
  }
  freeifaddrs(all);
  return rows;
}

std::vector<std::string> ParseInterfaceList(const std::string& Text) {
  std::vector<std::string> listed;
  size_t start = 0;
  while (start <= Text.size() && listed.size() < kMaxMulticastInterfaces) {
    const size_t comma = std::min(Text.find(',', start), Text.size());
    const std::string item = Trim(Text.substr(start, comma - start));
    if (!item.empty() && IsDottedAddress(item)) listed.push_back(item);
    start = comma + 1;
  }
  return listed;
}

std::vector<std::string> ListInterfaces() {
  if (const char* value = std::getenv(kMulticastInterfacesVariable); value != nullptr)
    return ParseInterfaceList(value);
  return SelectInterfaces(PlatformInterfaceAddresses());
}

}  // namespace kyv
