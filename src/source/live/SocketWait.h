#pragma once

#include <string>

#include "source/live/WakeUpDescriptor.h"

namespace kyv {

// What one wait on a socket and a wake-up descriptor saw.
struct TSocketWait {
  short Events = 0;    // the socket's poll events: those asked for, POLLERR, POLLHUP, POLLNVAL
  bool Woken = false;  // the wake-up descriptor was signalled; it has been drained
};

// Waits up to TimeoutMs (0: just look) until Socket is ready for Events or Wake is signalled.
// An interrupted wait comes back as a wake-up with nothing ready. Raises EKyvError when poll
// itself fails. The calling thread must own Wake.
TSocketWait WaitForSocket(int Socket, short Events, TWakeUpDescriptor& Wake, int TimeoutMs);

// "<text> (<errno number>: <system message>)" for failures of socket calls.
std::string SocketErrorText(const char* Text, int Error);

}  // namespace kyv
