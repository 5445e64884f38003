#include "source/InternetSession.h"

#include <curl/curl.h>

#include <utility>

namespace kyv {
namespace {

constexpr const char* kAgent = "KyvPlayer Download/1.0";

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const TInternetSession*>(user)->Cancelled() ? 1 : 0;
}

}  // namespace

TInternetSession::TInternetSession(std::function<bool()> Cancelled, TInternetTimeouts Timeouts)
    : FCancelled(std::move(Cancelled)) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!initialised) return;
  CURL* h = curl_easy_init();
  if (h == nullptr) return;
  // Always from the server: no cache on the way may answer in its place.
  curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
  if (headers != nullptr) {
    curl_slist* more = curl_slist_append(headers, "Pragma: no-cache");
    if (more == nullptr) {
      curl_slist_free_all(headers);
      headers = nullptr;
    }
  }
  FHeaders = headers;
  CURLcode failed = headers == nullptr ? CURLE_OUT_OF_MEMORY : CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(h, option, value);
    if (code != CURLE_OK && failed == CURLE_OK) failed = code;
  };
  if (failed == CURLE_OK) failed = static_cast<CURLcode>(SetTransferOptions(h, kAgent, Timeouts));
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_NOPROGRESS, 0L);
  set(CURLOPT_XFERINFOFUNCTION, &OnProgress);
  set(CURLOPT_XFERINFODATA, static_cast<const TInternetSession*>(this));
  if (failed != CURLE_OK) {
    curl_easy_cleanup(h);
    return;
  }
  FHandle = h;
}

TInternetSession::~TInternetSession() {
  if (FHandle != nullptr) curl_easy_cleanup(static_cast<CURL*>(FHandle));
  curl_slist_free_all(static_cast<curl_slist*>(FHeaders));
}

}  // namespace kyv
