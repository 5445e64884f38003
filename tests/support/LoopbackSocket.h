#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv::test {

// A TCP socket listening on 127.0.0.1 at a port the system chooses, written to *Port; -1 when
// none can be made. The caller closes it.
int ListenOnLoopback(uint16_t* Port);

// Sends all Size bytes on a blocking socket; false once the peer is gone.
bool SendAll(int Socket, const void* Data, size_t Size);

}  // namespace kyv::test
