#include "source/multicast/SmsFile.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ini.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "platform/Errors.h"

namespace kyv {

namespace {

struct TSmsKeys {
  std::optional<std::string> Ip;
  std::optional<std::string> Port;
};

// A value in double quotes loses them, as the INI readers of the files' origin do.
std::string Unquote(const char* Value) {
  std::string text(Value);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return text;
}

int OnKey(void* User, const char* Section, const char* Name, const char* Value) {
  auto& keys = *static_cast<TSmsKeys*>(User);
  if (strcasecmp(Section, "Address") != 0) return 1;
  if (strcasecmp(Name, "ip") == 0 && !keys.Ip) keys.Ip = Unquote(Value);
  if (strcasecmp(Name, "port") == 0 && !keys.Port) keys.Port = Unquote(Value);
  // Lines inih cannot read are passed over, so a stray line does not hide the keys.
  return 1;
}

}  // namespace

bool IsMulticastGroup(const std::string& Address) {
  in_addr address;
  if (inet_pton(AF_INET, Address.c_str(), &address) != 1) return false;
  return IN_MULTICAST(ntohl(address.s_addr));
}

TSmsAddress ParseSmsText(std::string_view Text) {
  // inih reads a terminated string; a NUL inside the text ends it there.
  const std::string text(Text);
  TSmsKeys keys;
  ini_parse_string(text.c_str(), OnKey, &keys);

  TSmsAddress result;
  result.Ip = keys.Ip.value_or("");
  if (result.Ip.empty()) {
    result.Problem = "no \"ip\" in section \"Address\"";
    return result;
  }
  if (!IsMulticastGroup(result.Ip)) {
    result.Problem = "\"ip\" is not an IPv4 multicast group: " + result.Ip;
    return result;
  }
  const std::string port = keys.Port.value_or("");
  unsigned value = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0 ||
      value > 65535) {
    result.Problem = port.empty() ? "no \"port\" in section \"Address\""
                                  : "\"port\" is not a port from 1 to 65535: " + port;
    return result;
  }
  result.Port = static_cast<uint16_t>(value);
  return result;
}

TSmsAddress ReadSmsFile(const std::filesystem::path& Path) {
  TSmsAddress result;
  // Not blocking: a FIFO or a device at Path must neither hang the open nor be read.
  const int fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.Problem = "cannot read " + Path.string() + ": " + std::strerror(errno);
    return result;
  }
  struct TCloseFd {
    int Fd;
    ~TCloseFd() { ::close(Fd); }
  } closeFd{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.Problem = "cannot read " + Path.string() + ": " + std::strerror(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.Problem = Path.string() + " is not a regular file";
    return result;
  }
  if (static_cast<uintmax_t>(info.st_size) > kMaxSmsFileSize) {
    result.Problem = Path.string() + " is too large for a description file";
    return result;
  }
  // One byte more than allowed tells a file that grew since fstat from one that fits.
  std::string text(kMaxSmsFileSize + 1, '\0');
  size_t length = 0;
  while (length < text.size()) {
    const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.Problem = "cannot read " + Path.string() + ": " + std::strerror(errno);
      return result;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  if (length > kMaxSmsFileSize) {
    result.Problem = Path.string() + " is too large for a description file";
    return result;
  }
  text.resize(length);
  return ParseSmsText(text);
}

void WriteSmsFile(const std::filesystem::path& Path, const std::string& Group, uint16_t Port) {
  if (!IsMulticastGroup(Group)) throw EKyvError("Not an IPv4 multicast group: \"" + Group + "\"");
  if (Port == 0) throw EKyvError("A multicast group needs a port from 1 to 65535");
  std::ofstream out(Path, std::ios::binary | std::ios::trunc);
  out << "[Address]\r\nip=" << Group << "\r\nport=" << Port << "\r\n";
  out.close();
  if (!out) throw EKyvError("Cannot write the description file " + Path.string());
}

}  // namespace kyv
