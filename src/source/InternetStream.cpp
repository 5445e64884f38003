#include "source/InternetStream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "log/Log.h"
#include "platform/Errors.h"
#include "source/UrlEscape.h"

namespace kyv {
namespace {

constexpr const char* kAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; .NET CLR 1.1.4322)";
// Larger than libcurl's default so that big ranges arrive in fewer callbacks.
constexpr long kReceiveBufferSize = 256 * 1024;

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

bool StartsWithNoCase(const char* text, size_t length, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (length < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Reads a decimal number at text[*pos], skipping blanks first; -1 when there is none.
int64_t ParseNumber(const char* text, size_t length, size_t* pos) {
  while (*pos < length && text[*pos] == ' ') ++*pos;
  if (*pos >= length || text[*pos] < '0' || text[*pos] > '9') return -1;
  int64_t value = 0;
  while (*pos < length && text[*pos] >= '0' && text[*pos] <= '9') {
    if (value > (std::numeric_limits<int64_t>::max() - 9) / 10) return -1;
    value = value * 10 + (text[*pos] - '0');
    ++*pos;
  }
  return value;
}

// The request address: libcurl refuses spaces and control characters, which the escaped
// address keeps as they are.
std::string RequestUrl(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      result.push_back('%');
      result.push_back(kHex[byte >> 4]);
      result.push_back(kHex[byte & 0x0F]);
    } else {
      result.push_back(c);
    }
  }
  return result;
}

struct TUrlParts {
  CURLU* Handle = curl_url();
  ~TUrlParts() { curl_url_cleanup(Handle); }
  std::string Get(CURLUPart part, unsigned flags = 0) const {
    char* value = nullptr;
    if (curl_url_get(Handle, part, &value, flags) != CURLUE_OK) return {};
    std::string result = value;
    curl_free(value);
    return result;
  }
};

}  // namespace

// The easy handle (libcurl keeps the connection with it) and the state of the running request,
// which libcurl's callbacks fill. Only the reader thread touches it.
struct TInternetStream::TTransfer {
  CURL* Handle = nullptr;
  // The request's extra header lines, kept here rather than in a list libcurl allocates so
  // that a request allocates nothing of its own.
  curl_slist Headers[2]{};
  char RangeLine[64]{};  // "RANGE:bytes=a-b"
  char NoAccept[8] = "Accept:";
  char ErrorBuffer[CURL_ERROR_SIZE]{};
  const std::atomic<bool>* Aborted = nullptr;
  bool Ftp = false;

  uint8_t* Dest = nullptr;
  size_t Remaining = 0;
  size_t Received = 0;
  int64_t Start = 0;        // the first byte asked for
  uint64_t Skip = 0;        // bytes of a whole-file reply that lie before Start
  long Status = 0;          // of the last status line seen
  int64_t ReplyStart = -1;  // first byte of the reply's Content-Range, -1 when none
  bool BodyStarted = false;
  bool Full = false;     // the server sent more than asked; the rest was refused
  bool Refused = false;  // the reply's body was refused (bad status or wrong range)

  ~TTransfer() {
    if (Handle != nullptr) curl_easy_cleanup(Handle);
  }

  void Begin(uint8_t* dest, size_t count, int64_t start) {
    Dest = dest;
    Remaining = count;
    Received = 0;
    Start = start;
    Skip = 0;
    Status = 0;
    ReplyStart = -1;
    BodyStarted = false;
    Full = false;
    Refused = false;
    ErrorBuffer[0] = '\0';
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<TTransfer*>(user);
    const size_t length = size * count;
    if (self->Ftp) return length;
    size_t pos = 0;
    if (StartsWithNoCase(data, length, "http/")) {
      // Every reply (a redirect, then the final one) starts anew.
      while (pos < length && data[pos] != ' ') ++pos;
      self->Status = static_cast<long>(std::max<int64_t>(ParseNumber(data, length, &pos), 0));
      self->ReplyStart = -1;
    } else if (StartsWithNoCase(data, length, "content-range:")) {
      pos = std::strlen("content-range:");
      while (pos < length && data[pos] == ' ') ++pos;
      if (StartsWithNoCase(data + pos, length - pos, "bytes")) {
        pos += 5;
        self->ReplyStart = ParseNumber(data, length, &pos);
      }
    }
    return length;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<TTransfer*>(user);
    size_t length = size * count;
    const size_t all = length;
    if (!self->BodyStarted) {
      self->BodyStarted = true;
      if (!self->Ftp) {
        if (self->Status == 200) {
          // The server ignored the range and sends the whole file.
          self->Skip = static_cast<uint64_t>(self->Start);
        } else if (self->Status != 206 || self->ReplyStart != self->Start) {
          self->Refused = true;
        }
      }
    }
    if (self->Refused) return 0;
    if (self->Skip > 0) {
      const size_t skipped = static_cast<size_t>(std::min<uint64_t>(self->Skip, length));
      self->Skip -= skipped;
      data += skipped;
      length -= skipped;
    }
    const size_t taken = std::min(length, self->Remaining);
    if (taken > 0) std::memcpy(self->Dest + self->Received, data, taken);
    self->Received += taken;
    self->Remaining -= taken;
    if (taken < length) {
      self->Full = true;
      return 0;
    }
    return all;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TTransfer*>(user)->Aborted->load() ? 1 : 0;
  }
};

TInternetStream::TInternetStream(std::string_view Url)
    : FUrl(EscapeUrl(Url)), FTransfer(std::make_unique<TTransfer>()) {
  KYV_ASSERT(GlobalInit());
  FRequestUrl = RequestUrl(FUrl);
  TUrlParts parts;
  KYV_ASSERT(parts.Handle != nullptr);
  KYV_ASSERT(curl_url_set(parts.Handle, CURLUPART_URL, FRequestUrl.c_str(), 0) == CURLUE_OK);
  const std::string scheme = parts.Get(CURLUPART_SCHEME);
  KYV_ASSERT(scheme == "http" || scheme == "https" || scheme == "ftp");
  FFtp = scheme == "ftp";
  FServerName = parts.Get(CURLUPART_HOST);
  KYV_ASSERT(!FServerName.empty());
  const std::string port = parts.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
  FServerPort = static_cast<uint16_t>(std::strtoul(port.c_str(), nullptr, 10));
  FObjectName = parts.Get(CURLUPART_PATH);
  const std::string query = parts.Get(CURLUPART_QUERY);
  if (!query.empty()) FObjectName += "?" + query;
  FTransfer->Aborted = &FAborted;
  FTransfer->Ftp = FFtp;
}

TInternetStream::~TInternetStream() = default;

void TInternetStream::CloseHandles() {
  if (FTransfer->Handle != nullptr) {
    curl_easy_cleanup(FTransfer->Handle);
    FTransfer->Handle = nullptr;
  }
  FAborted.store(false);
}

void TInternetStream::Abort() noexcept {
  FAborted.store(true);
}

void TInternetStream::SetTimeouts(const TTimeouts& Timeouts) {
  FTimeouts = Timeouts;
  if (CURL* handle = FTransfer->Handle) {
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, FTimeouts.ConnectMs);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, FTimeouts.StallSeconds);
  }
}

bool TInternetStream::Connect() {
  TTransfer& t = *FTransfer;
  if (t.Handle != nullptr) return true;
  t.Handle = curl_easy_init();
  if (t.Handle == nullptr) {
    GlobalLog().AddLine("InternetOpen Error: " +
                        std::to_string(static_cast<int>(CURLE_FAILED_INIT)));
    return false;
  }
  t.Headers[0].data = t.RangeLine;
  t.Headers[0].next = &t.Headers[1];
  t.Headers[1].data = t.NoAccept;
  t.Headers[1].next = nullptr;

  CURL* h = t.Handle;
  CURLcode failed = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(h, option, value);
    if (code != CURLE_OK && failed == CURLE_OK) failed = code;
  };
  set(CURLOPT_URL, FRequestUrl.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 8L);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_USERAGENT, kAgent);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  if (!FFtp) set(CURLOPT_HTTPHEADER, &t.Headers[0]);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  set(CURLOPT_ERRORBUFFER, t.ErrorBuffer);
  set(CURLOPT_HEADERFUNCTION, &TTransfer::OnHeader);
  set(CURLOPT_HEADERDATA, &t);
  set(CURLOPT_WRITEFUNCTION, &TTransfer::OnBody);
  set(CURLOPT_WRITEDATA, &t);
  // libcurl calls the progress function at least once a second even while nothing arrives,
  // which bounds how long an Abort waits.
  set(CURLOPT_NOPROGRESS, 0L);
  set(CURLOPT_XFERINFOFUNCTION, &TTransfer::OnProgress);
  set(CURLOPT_XFERINFODATA, &t);
  set(CURLOPT_CONNECTTIMEOUT_MS, FTimeouts.ConnectMs);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, FTimeouts.StallSeconds);
  if (failed != CURLE_OK) {
    GlobalLog().AddLine("InternetSetOption Error: " + std::to_string(static_cast<int>(failed)));
    curl_easy_cleanup(h);
    t.Handle = nullptr;
    return false;
  }
  return true;
}

size_t TInternetStream::Read(void* Buffer, size_t Count) {
  if (Count == 0 || FAborted.load()) return 0;
  // The last byte asked for must be a 64-bit number.
  Count = static_cast<size_t>(std::min<uint64_t>(
      Count, static_cast<uint64_t>(std::numeric_limits<int64_t>::max() - FPosition)));
  if (Count == 0 || !Connect()) return 0;

  TTransfer& t = *FTransfer;
  t.Begin(static_cast<uint8_t*>(Buffer), Count, FPosition);
  const int64_t last = FPosition + static_cast<int64_t>(Count) - 1;
  std::snprintf(t.RangeLine, sizeof t.RangeLine, "RANGE:bytes=%" PRId64 "-%" PRId64, FPosition,
                last);
  if (FFtp) {
    const char* range = t.RangeLine + std::strlen("RANGE:bytes=");
    if (curl_easy_setopt(t.Handle, CURLOPT_RANGE, range) != CURLE_OK) {
      GlobalLog().AddLine("HttpAddRequestHeaders Error : " + std::string(t.RangeLine));
      return 0;
    }
  }
  const CURLcode result = curl_easy_perform(t.Handle);
  FPosition += static_cast<int64_t>(t.Received);
  Report(static_cast<int>(result), t.RangeLine);
  return t.Received;
}

void TInternetStream::Report(int Result, const char* RangeLine) {
  const TTransfer& t = *FTransfer;
  const auto result = static_cast<CURLcode>(Result);
  // The failure as a person reads it, kept for LastFailure; "" after a request that succeeded.
  const char* bytes = std::strchr(RangeLine, '=');
  const std::string range = std::string("bytes ") + (bytes != nullptr ? bytes + 1 : RangeLine);
  FLastFailure.clear();
  if (result == CURLE_ABORTED_BY_CALLBACK || FAborted.load()) return;
  if (!FFtp && t.Status != 0 && t.Status != 200 && t.Status != 206) {
    FLastFailure = "HTTP " + std::to_string(t.Status) + " for " + range;
    char text[64];
    std::snprintf(text, sizeof text, "GetRequestStatusCode Error : %d, ",
                  static_cast<int>(t.Status));
    GlobalLog().AddLine(text + FUrl + ", " + RangeLine + "\r\n");
    return;
  }
  if (result == CURLE_OK && !t.Refused) return;
  // A refused remainder after every asked byte arrived is no failure.
  if (result == CURLE_WRITE_ERROR && t.Full) return;
  if (t.Refused) {
    FLastFailure = "the reply's range starts at byte " + std::to_string(t.ReplyStart) +
                   ", not at " + std::to_string(t.Start);
    GlobalLog().AddLine("InternetReadFile Error :" + FLastFailure);
    return;
  }
  const std::string reason = t.ErrorBuffer[0] != '\0' ? t.ErrorBuffer : curl_easy_strerror(result);
  FLastFailure = reason + " (" + range + ")";
  long answered = t.Status;
  if (FFtp) curl_easy_getinfo(t.Handle, CURLINFO_RESPONSE_CODE, &answered);
  // No answer at all means the request never reached a server.
  if (answered == 0)
    GlobalLog().AddLine("HttpSendRequest Error : " + reason);
  else
    GlobalLog().AddLine("InternetReadFile Error :" + reason);
}

int64_t TInternetStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t position = 0;
  switch (Origin) {
    case TSeekOrigin::soBeginning:
      position = Offset;
      break;
    case TSeekOrigin::soCurrent:
      if (__builtin_add_overflow(FPosition, Offset, &position)) position = -1;
      break;
    case TSeekOrigin::soEnd:
      throw EKyvError("Not Implement");
  }
  if (position < 0) throw EKyvError("Seek before the start of the stream");
  FPosition = position;
  return FPosition;
}

}  // namespace kyv
