#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kyv {

// What a multicast description file (".SMS", an INI text) says: section "Address", keys "ip"
// (the dotted IPv4 group) and "port" (decimal). Sections and keys are matched without regard to
// case, other sections and keys are ignored, and the first occurrence of a key counts.
struct TSmsAddress {
  std::string Ip;
  uint16_t Port = 0;
  // Empty when the file describes a group; otherwise why it does not.
  std::string Problem;

  bool Valid() const noexcept { return Problem.empty(); }
};

// A description file is a few lines; a larger file is refused unread.
inline constexpr uintmax_t kMaxSmsFileSize = 64 * 1024;

// The group that Text describes. Invalid when "ip" is missing, empty or not a dotted IPv4
// multicast address, or when "port" is missing, not a decimal number or outside 1 to 65535.
TSmsAddress ParseSmsText(std::string_view Text);

// The same for the file at Path; invalid too when it cannot be read. Any thread.
TSmsAddress ReadSmsFile(const std::filesystem::path& Path);

// Writes a description file of the group, replacing any file at Path. Raises EKyvError when it
// cannot be written or Group is not a dotted IPv4 multicast address.
void WriteSmsFile(const std::filesystem::path& Path, const std::string& Group, uint16_t Port);

// True for a dotted IPv4 address in 224.0.0.0/4.
bool IsMulticastGroup(const std::string& Address);

}  // namespace kyv
