#pragma once

#include <string>

namespace kyv {

// Opens FileName read-only without ever blocking in the open (a FIFO without a writer would
// block it for good) and accepts only a regular file: a FIFO, a device, a socket or a folder
// raises EKyvError naming the file and what it is. The descriptor returned is in blocking mode
// and closes on exec; the caller owns it. Any thread.
int OpenRegularFile(const std::string& FileName);

}  // namespace kyv
