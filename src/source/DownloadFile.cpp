#include "source/DownloadFile.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string_view>

#include "source/UrlEscape.h"

namespace kyv {
namespace {

constexpr size_t kBlockBytes = 1024;
constexpr std::string_view kHtmlMark = "<!DOCTYPE";

// The address as libcurl takes it: characters above 127 as escaped UTF-8 (EscapeUrl), then
// blanks and control characters, which libcurl refuses, escaped too.
std::string WireUrl(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string wire;
  for (const char c : EscapeUrl(url)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      wire.push_back('%');
      wire.push_back(kHex[byte >> 4]);
      wire.push_back(kHex[byte & 0x0F]);
    } else {
      wire.push_back(c);
    }
  }
  return wire;
}

// One copy in progress: what libcurl's body callback fills.
struct TCopy {
  CURL* Handle = nullptr;
  const std::string* LocalPath = nullptr;
  uint64_t MaxBytes = 0;
  uint64_t Total = 0;
  int Fd = -1;
  bool Created = false;  // LocalPath was made or emptied by this copy
  bool TooLong = false;
  char Block[kBlockBytes]{};
  size_t Filled = 0;
  std::string Failure;  // set by the first callback that refuses

  ~TCopy() {
    if (Fd >= 0) ::close(Fd);
  }

  // The final reply is known once its body starts (or the transfer ends without one).
  bool StatusAccepted() {
    const char* scheme = nullptr;
    long status = 0;
    curl_easy_getinfo(Handle, CURLINFO_SCHEME, &scheme);
    // FTP reports its failures through libcurl itself.
    if (scheme == nullptr ||
        (::strcasecmp(scheme, "http") != 0 && ::strcasecmp(scheme, "https") != 0))
      return true;
    curl_easy_getinfo(Handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status < 300) return true;
    Failure = "the server answered with status " + std::to_string(status);
    return false;
  }

  bool OpenFile() {
    if (Fd >= 0) return true;
    if (!StatusAccepted()) return false;
    Fd = ::open(LocalPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    Created = Fd >= 0;
    if (Created) return true;
    Failure = "cannot write " + *LocalPath + ": " + std::strerror(errno);
    return false;
  }

  // Tests the block (its zero tail included) and writes the bytes it holds.
  bool FlushBlock() {
    if (std::string_view(Block, kBlockBytes).find(kHtmlMark) != std::string_view::npos) {
      Failure = "the server sent an HTML page instead of the file";
      return false;
    }
    for (size_t done = 0; done < Filled;) {
      const ssize_t n = ::write(Fd, Block + done, Filled - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Failure = "cannot write " + *LocalPath + ": " + std::strerror(errno);
        return false;
      }
      done += static_cast<size_t>(n);
    }
    std::memset(Block, 0, sizeof Block);
    Filled = 0;
    return true;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<TCopy*>(user);
    const size_t length = size * count;
    if (!self->OpenFile()) return 0;
    if (length > self->MaxBytes - self->Total) {
      self->TooLong = true;
      return 0;
    }
    self->Total += length;
    for (size_t taken = 0; taken < length;) {
      const size_t n = std::min(length - taken, kBlockBytes - self->Filled);
      std::memcpy(self->Block + self->Filled, data + taken, n);
      self->Filled += n;
      taken += n;
      if (self->Filled == kBlockBytes && !self->FlushBlock()) return 0;
    }
    return length;
  }
};

}  // namespace

bool DownloadFile(TInternetSession& Internet, const std::string& Url, const std::string& LocalPath,
                  uint64_t MaxBytes, std::string* Failure) {
  std::string ignored;
  std::string& reason = Failure != nullptr ? *Failure : ignored;
  reason.clear();
  if (!Internet.Opened()) {
    reason = "no internet session";
    return false;
  }
  std::string wire;
  try {
    wire = WireUrl(Url);
  } catch (const std::exception& e) {
    reason = "bad address: " + std::string(e.what());
    return false;
  }

  auto* h = static_cast<CURL*>(Internet.Handle());
  TCopy copy;
  copy.Handle = h;
  copy.LocalPath = &LocalPath;
  copy.MaxBytes = MaxBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  CURLcode result = curl_easy_setopt(h, CURLOPT_URL, wire.c_str());
  if (result == CURLE_OK) result = curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  if (result == CURLE_OK) result = curl_easy_setopt(h, CURLOPT_WRITEDATA, &copy);
  if (result == CURLE_OK) result = curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &TCopy::OnBody);
  if (result == CURLE_OK)
    result = curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxBytes));
  if (result == CURLE_OK) result = curl_easy_perform(h);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);

  bool ok = result == CURLE_OK && copy.OpenFile() && (copy.Filled == 0 || copy.FlushBlock());
  // A broken transfer keeps what arrived, as a partial file.
  if (result != CURLE_OK && copy.Failure.empty() && !copy.TooLong && copy.Fd >= 0 &&
      copy.Filled > 0)
    copy.FlushBlock();
  if (copy.Fd >= 0 && ::close(copy.Fd) != 0 && ok) {
    copy.Failure = "cannot write " + LocalPath + ": " + std::strerror(errno);
    ok = false;
  }
  copy.Fd = -1;
  if (ok) return true;

  if (copy.TooLong || result == CURLE_FILESIZE_EXCEEDED) {
    // An answer beyond the limit is no file of ours: nothing of it is kept.
    if (copy.Created) ::unlink(LocalPath.c_str());
    reason = "the answer is longer than " + std::to_string(MaxBytes) + " bytes";
  } else if (!copy.Failure.empty()) {
    reason = copy.Failure;
  } else if (result == CURLE_ABORTED_BY_CALLBACK) {
    reason = "cancelled";
  } else {
    reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
  }
  return false;
}

}  // namespace kyv
