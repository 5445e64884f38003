#pragma once

#include <memory>
#include <string>

#include "source/Stream.h"

namespace kyv {

// The file reader's way to the ranged web stream, kept apart so that the reader does not depend
// on the HTTP client.

// Reader thread: a stream over the recording at a network address (no traffic yet). Raises
// EKyvError when the address cannot be served.
std::unique_ptr<TStream> OpenNetworkStream(const std::string& Address);

// Any thread, while the stream exists: ends a transfer that blocks the reader thread in Read.
void AbortNetworkStream(TStream& Stream) noexcept;

// Reader thread: why the stream's last request failed; "" when it did not.
std::string NetworkFailure(const TStream& Stream);

// Reader thread: drops the stream's connection, so that the next Read opens a new one, and
// clears an Abort.
void CloseNetworkHandles(TStream& Stream) noexcept;

}  // namespace kyv
