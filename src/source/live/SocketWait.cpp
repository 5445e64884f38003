#include "source/live/SocketWait.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace kyv {

TSocketWait WaitForSocket(int Socket, short Events, TWakeUpDescriptor& Wake, int TimeoutMs) {
  pollfd fds[2] = {{Socket, Events, 0}, {Wake.Fd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, TimeoutMs);
  TSocketWait result;
  if (ready < 0) {
    if (errno == EINTR) {
      result.Woken = true;
      return result;
    }
    throw EKyvError(SocketErrorText("poll failed", errno));
  }
  result.Events = fds[0].revents;
  if (fds[1].revents != 0) {
    Wake.Drain();
    result.Woken = true;
  }
  return result;
}

std::string SocketErrorText(const char* Text, int Error) {
  return std::string(Text) + " (" + std::to_string(Error) + ": " + std::strerror(Error) + ")";
}

}  // namespace kyv
