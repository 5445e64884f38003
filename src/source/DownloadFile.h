#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "source/InternetSession.h"

namespace kyv {

// The reason DownloadFile gives when the server has no such file.
inline constexpr std::string_view kNotFoundFailure = "the server answered with status 404";

// The longest multicast description file fetched for an ".SMS" address.
inline constexpr uint64_t kMaxDescriptionFileBytes = 64u << 10;

// Copies the resource at Url (an address in the locale's code set) to LocalPath through the
// session's connection, replacing the file; true only when the whole resource was written.
// Called on the session's thread.
//
// The answer is taken in 1024-byte blocks, each tested by itself: a block that holds
// "<!DOCTYPE" is an HTML page (a server's error page) instead of the file and fails the copy,
// leaving what was written before it. An HTTP status other than 2xx fails before the file is
// touched. An answer longer than MaxBytes fails and its partial file is removed. A broken or
// stalled transfer, or the session's cancel, fails and leaves the partial file. LocalPath is
// never followed when it is a symbolic link. Failure, when given, receives the reason of a false
// result.
bool DownloadFile(TInternetSession& Internet, const std::string& Url, const std::string& LocalPath,
                  uint64_t MaxBytes, std::string* Failure = nullptr);

}  // namespace kyv
