#pragma once

namespace kyv {

// Time limits of each transfer.
struct TInternetTimeouts {
  long ConnectMs = 10000;  // a connection not made within this fails
  long StallSeconds = 15;  // a server that sends nothing for this long fails the transfer
};

// Sets on a libcurl easy handle (CURL*) what every transfer of the player shares: the protocols
// allowed (also after a redirect), redirects followed, no signals, the agent name and the time
// limits. Returns the first CURLcode that failed, 0 when all were set. Any thread, on a handle it
// owns.
int SetTransferOptions(void* Handle, const char* Agent, const TInternetTimeouts& Timeouts);

}  // namespace kyv
