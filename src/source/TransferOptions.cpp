#include "source/TransferOptions.h"

#include <curl/curl.h>

namespace kyv {

int SetTransferOptions(void* Handle, const char* Agent, const TInternetTimeouts& Timeouts) {
  CURL* h = static_cast<CURL*>(Handle);
  CURLcode failed = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(h, option, value);
    if (code != CURLE_OK && failed == CURLE_OK) failed = code;
  };
  set(CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 8L);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_USERAGENT, Agent);
  set(CURLOPT_CONNECTTIMEOUT_MS, Timeouts.ConnectMs);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, Timeouts.StallSeconds);
  return static_cast<int>(failed);
}

}  // namespace kyv
