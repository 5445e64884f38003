#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kyv::test {

int ListenOnLoopback(uint16_t* Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *Port = ntohs(address.sin_port);
  return fd;
}

bool SendAll(int Socket, const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Size > 0) {
    const ssize_t sent = ::send(Socket, p, Size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    p += sent;
    Size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace kyv::test
