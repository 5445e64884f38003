#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kyv {

// One IPv4 address of the computer, as the platform lists them.
struct TInterfaceAddress {
  std::string Address;  // dotted IPv4
  uint32_t Index = 0;   // the interface that holds it
};

// The interfaces the multicast stream joins its group on, at most this many.
inline constexpr size_t kMaxMulticastInterfaces = 4;

// Environment variable that, when set, replaces the platform's list: dotted IPv4 addresses
// separated by commas, taken in order, at most four, with no address left out (so "127.0.0.1"
// joins on the loopback, which a network namespace used for testing offers alone).
inline constexpr char kMulticastInterfacesVariable[] = "KYV_MULTICAST_INTERFACES";

// The addresses to join on, from Rows in their order: "127.0.0.1" and "0.0.0.0" are skipped,
// and so is every address of an interface already taken; at most kMaxMulticastInterfaces.
std::vector<std::string> SelectInterfaces(const std::vector<TInterfaceAddress>& Rows);

// The computer's IPv4 addresses (getifaddrs), in the platform's order; empty when they cannot
// be read. Any thread.
std::vector<TInterfaceAddress> PlatformInterfaceAddresses();

// What the multicast stream joins on: the variable's list when it is set, else
// SelectInterfaces of the platform's addresses. Any thread.
std::vector<std::string> ListInterfaces();

// The variable's text as a list: items trimmed, empty items and those that are not dotted IPv4
// addresses left out, at most kMaxMulticastInterfaces.
std::vector<std::string> ParseInterfaceList(const std::string& Text);

}  // namespace kyv
