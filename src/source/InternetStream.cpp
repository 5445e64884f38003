#include "source/InternetStream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "decoder/ReaderErrors.h"
#include "log/Log.h"
#include "platform/Errors.h"
#include "source/TransferOptions.h"
#include "source/UrlEscape.h"
#include "store/FramesBuffer.h"

namespace kyv {
namespace {

constexpr const char* kAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; .NET CLR 1.1.4322)";
// Larger than libcurl's default so that big ranges arrive in fewer callbacks.
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr int64_t kMaxPosition = std::numeric_limits<int64_t>::max();

// What is read ahead never outgrows what the frames buffer takes before the reader waits.
static_assert(2 * TInternetStream::kBufferCapacity <= TFramesBuffer::kFullBytes);

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

// One read-ahead buffer: the bytes [Start, Start + Fill) of the file.
struct TInternetStream::TBuffer {
  std::unique_ptr<uint8_t[]> Data;  // kBufferCapacity bytes, made on first use
  int64_t Start = 0;
  size_t Fill = 0;
  // The range whose answer filled it: its size and where it ended.
  size_t Range = 0;
  int64_t RangeEnd = -1;
  uint64_t LastUsed = 0;  // when a Read last took from it

  int64_t End() const { return Start + static_cast<int64_t>(Fill); }
  bool Holds(int64_t position) const { return position >= Start && position < End(); }
  // Empty, at Start; the range that fills it stays as it was.
  void Reset(int64_t start) {
    if (!Data) Data.reset(new uint8_t[kBufferCapacity]);
    Start = start;
    Fill = 0;
  }
};

// The handles (libcurl keeps the connection in the multi handle's cache), the read-ahead
// buffers and the state of the running request, which libcurl's callbacks fill. Only the reader
// thread touches it.
struct TInternetStream::TTransfer {
  CURLM* Multi = nullptr;
  CURL* Handle = nullptr;
  // The request's extra header lines, kept here rather than in a list libcurl allocates so
  // that a request allocates nothing of its own.
  curl_slist Headers[2]{};
  char RangeLine[64]{};  // "RANGE:bytes=a-b"
  char NoAccept[8] = "Accept:";
  char ErrorBuffer[CURL_ERROR_SIZE]{};
  bool Ftp = false;
  const int64_t* Position = nullptr;  // the stream's read position

  TBuffer Buffers[2];
  uint64_t Uses = 0;
  int64_t FileSize = -1;  // once an answer has told it
  // Of the link, once a range read through has told them; 0 until then.
  int64_t RoundTripUs = 0;
  int64_t BytesPerSecond = 0;

  // The running request: added to the multi handle and not finished.
  bool Running = false;
  bool Paused = false;  // its body waits until the buffer it fills has room
  TBuffer* Into = nullptr;
  int64_t Start = 0;  // the range asked for: [Start, End)
  int64_t End = 0;
  int64_t Next = -1;         // file offset of the next body byte; -1 until the body starts
  int64_t SkipTo = 0;        // body bytes before it are not wanted
  long Status = 0;           // of the last status line seen
  int64_t ReplyStart = -1;   // first byte of the reply's Content-Range, -1 when none
  int64_t ReplyLength = -1;  // the reply's Content-Length, -1 when none
  bool WholeFile = false;    // the answer ignored the range and sends the file from byte 0
  bool Full = false;         // the server sent more than asked; the rest was refused
  bool Refused = false;      // the reply's body was refused (bad status or wrong range)
  // Once finished: its outcome, and whether it was sent by an earlier Read than the one that
  // looks at it.
  bool Ended = false;
  bool Failed = false;
  bool Earlier = false;
  CURLcode Result = CURLE_OK;

  ~TTransfer() { Close(); }

  void Close() {
    if (Running) curl_multi_remove_handle(Multi, Handle);
    Running = false;
    Paused = false;
    Ended = false;
    if (Handle != nullptr) curl_easy_cleanup(Handle);
    if (Multi != nullptr) curl_multi_cleanup(Multi);
    Handle = nullptr;
    Multi = nullptr;
    for (TBuffer& buffer : Buffers) {
      buffer.Fill = 0;
      buffer.RangeEnd = -1;
    }
    FileSize = -1;
  }

  // The buffer a new range goes into: the one a Read took from longest ago.
  TBuffer& Spare() { return Buffers[0].LastUsed <= Buffers[1].LastUsed ? Buffers[0] : Buffers[1]; }

  void Begin(TBuffer& into, int64_t start, int64_t end) {
    Into = &into;
    Start = start;
    End = end;
    Next = -1;
    SkipTo = start;
    Status = 0;
    ReplyStart = -1;
    ReplyLength = -1;
    WholeFile = false;
    Full = false;
    Refused = false;
    Result = CURLE_OK;
    Ended = false;
    Failed = false;
    Earlier = false;
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
      self->ReplyLength = -1;
    } else if (StartsWithNoCase(data, length, "content-range:")) {
      pos = std::strlen("content-range:");
      while (pos < length && data[pos] == ' ') ++pos;
      if (StartsWithNoCase(data + pos, length - pos, "bytes")) {
        pos += 5;
        self->ReplyStart = ParseNumber(data, length, &pos);
        while (pos < length && data[pos] != '/') ++pos;
        ++pos;
        const int64_t total = ParseNumber(data, length, &pos);
        if (total >= 0 && self->Status == 206) self->FileSize = total;
      }
    } else if (StartsWithNoCase(data, length, "content-length:")) {
      pos = std::strlen("content-length:");
      self->ReplyLength = ParseNumber(data, length, &pos);
    }
    return length;
  }

  // Takes a piece of the body whole into the buffer, or pauses the transfer (libcurl hands the
  // same piece again after the pause) when the buffer has no room for it yet.
  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<TTransfer*>(user);
    const size_t all = size * count;
    if (self->Next < 0) {
      if (self->Ftp) {
        self->Next = self->Start;
      } else if (self->Status == 200) {
        // The server ignored the range and sends the whole file.
        self->WholeFile = true;
        self->Next = 0;
        if (self->ReplyLength >= 0) self->FileSize = self->ReplyLength;
      } else if (self->Status == 206 && self->ReplyStart == self->Start) {
        self->Next = self->Start;
      } else {
        self->Refused = true;
      }
    }
    if (self->Refused) return 0;

    const int64_t at = self->Next;
    const size_t dropped =
        at < self->SkipTo
            ? static_cast<size_t>(std::min<int64_t>(self->SkipTo - at, static_cast<int64_t>(all)))
            : 0;
    const int64_t from = at + static_cast<int64_t>(dropped);
    size_t take = all - dropped;
    bool over = false;
    if (!self->WholeFile && from + static_cast<int64_t>(take) > self->End) {
      take = static_cast<size_t>(std::max<int64_t>(self->End - from, 0));
      over = true;
    }
    if (take > 0) {
      TBuffer& into = *self->Into;
      if (into.Fill == 0 || into.End() != from) into.Reset(from);
      if (into.Fill + take > kBufferCapacity) {
        // What the reader has taken makes room.
        const int64_t keep = *self->Position;
        if (keep >= into.Start && keep <= into.End()) {
          const size_t gone = static_cast<size_t>(keep - into.Start);
          std::memmove(into.Data.get(), into.Data.get() + gone, into.Fill - gone);
          into.Start = keep;
          into.Fill -= gone;
        }
      }
      if (into.Fill + take > kBufferCapacity) {
        // A piece is never larger than libcurl's receive buffer, far below the capacity.
        if (take > kBufferCapacity) return 0;
        self->Paused = true;
        return CURL_WRITEFUNC_PAUSE;
      }
      std::memcpy(into.Data.get() + into.Fill, data + dropped, take);
      into.Fill += take;
    }
    self->Next = from + static_cast<int64_t>(take);
    if (over) {
      self->Full = true;
      return 0;
    }
    return all;
  }

  // Where the request's body has got to, and what of it has not arrived yet.
  int64_t Reached() const { return Next < 0 ? Start : Next; }
  int64_t Left() const { return End - Reached(); }
};

TInternetStream::TInternetStream(std::string_view Url)
    : FUrl(EscapeUrl(Url)), FTransfer(std::make_unique<TTransfer>()) {
  const bool initialised = GlobalInit();
  KYV_ASSERT(initialised);
  FRequestUrl = RequestUrl(FUrl);
  TUrlParts parts;
  KYV_ASSERT(parts.Handle != nullptr);
  // The address is the user's: one that cannot be split says so, with the address.
  const bool split = curl_url_set(parts.Handle, CURLUPART_URL, FRequestUrl.c_str(), 0) == CURLUE_OK;
  const std::string scheme = split ? parts.Get(CURLUPART_SCHEME) : std::string();
  FFtp = scheme == "ftp";
  FServerName = split ? parts.Get(CURLUPART_HOST) : std::string();
  if (!(scheme == "http" || scheme == "https" || FFtp) || FServerName.empty())
    throw EKyvError("Not a web or FTP address with a host: \"" + std::string(Url) + "\"",
                    reInvalidUrl);
  const std::string port = parts.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
  FServerPort = static_cast<uint16_t>(std::strtoul(port.c_str(), nullptr, 10));
  FObjectName = parts.Get(CURLUPART_PATH);
  const std::string query = parts.Get(CURLUPART_QUERY);
  if (!query.empty()) FObjectName += "?" + query;
  FTransfer->Ftp = FFtp;
  FTransfer->Position = &FPosition;
}

TInternetStream::~TInternetStream() = default;

void TInternetStream::CloseHandles() {
  FTransfer->Close();
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
  t.Multi = curl_multi_init();
  t.Handle = curl_easy_init();
  if (t.Handle == nullptr || t.Multi == nullptr) {
    GlobalLog().AddLine("InternetOpen Error: " +
                        std::to_string(static_cast<int>(CURLE_FAILED_INIT)));
    t.Close();
    return false;
  }
  t.Headers[0].data = t.RangeLine;
  t.Headers[0].next = &t.Headers[1];
  t.Headers[1].data = t.NoAccept;
  t.Headers[1].next = nullptr;

  CURL* h = t.Handle;
  CURLcode failed = static_cast<CURLcode>(SetTransferOptions(h, kAgent, FTimeouts));
  auto set = [&](CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(h, option, value);
    if (code != CURLE_OK && failed == CURLE_OK) failed = code;
  };
  set(CURLOPT_URL, FRequestUrl.c_str());
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  if (!FFtp) set(CURLOPT_HTTPHEADER, &t.Headers[0]);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  set(CURLOPT_ERRORBUFFER, t.ErrorBuffer);
  set(CURLOPT_HEADERFUNCTION, &TTransfer::OnHeader);
  set(CURLOPT_HEADERDATA, &t);
  set(CURLOPT_WRITEFUNCTION, &TTransfer::OnBody);
  set(CURLOPT_WRITEDATA, &t);
  if (failed != CURLE_OK) {
    GlobalLog().AddLine("InternetSetOption Error: " + std::to_string(static_cast<int>(failed)));
    t.Close();
    return false;
  }
  return true;
}

bool TInternetStream::Buffered(int64_t Position) const {
  for (const TBuffer& buffer : FTransfer->Buffers)
    if (buffer.Holds(Position)) return true;
  return false;
}

size_t TInternetStream::TakeBuffered(uint8_t* Dest, size_t Count) {
  TTransfer& t = *FTransfer;
  for (TBuffer& buffer : t.Buffers) {
    if (!buffer.Holds(FPosition)) continue;
    const size_t at = static_cast<size_t>(FPosition - buffer.Start);
    const size_t n = std::min(Count, buffer.Fill - at);
    std::memcpy(Dest, buffer.Data.get() + at, n);
    FPosition += static_cast<int64_t>(n);
    buffer.LastUsed = ++t.Uses;
    return n;
  }
  return 0;
}

bool TInternetStream::Reaches(int64_t Position) const {
  const TTransfer& t = *FTransfer;
  if (!t.Running) return false;
  // Bytes up to here are read and dropped rather than asked for again.
  constexpr int64_t kSkipLimit = 256 * 1024;
  const int64_t next = t.Next < 0 ? t.Start : t.Next;
  if (Position < next) return false;
  return t.WholeFile || (Position < t.End && Position - next <= kSkipLimit);
}

void TInternetStream::Pump() {
  TTransfer& t = *FTransfer;
  if (t.Paused) {
    t.Paused = false;
    curl_easy_pause(t.Handle, CURLPAUSE_CONT);
  }
  int running = 0;
  curl_multi_perform(t.Multi, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(t.Multi, &left)) {
    if (message->msg != CURLMSG_DONE || message->easy_handle != t.Handle) continue;
    t.Result = message->data.result;
    curl_multi_remove_handle(t.Multi, t.Handle);
    t.Running = false;
    t.Paused = false;
    t.Ended = true;
    t.Failed = t.Refused || (t.Result != CURLE_OK && !(t.Result == CURLE_WRITE_ERROR && t.Full)) ||
               (!FFtp && t.Status != 200 && t.Status != 206);
    // A range read through within one Read tells the link's round trip and speed.
    curl_off_t sent = 0, first = 0, total = 0;
    const int64_t body = t.Reached() - t.Start;
    if (!t.Failed && !t.Earlier && body >= 64 * 1024 &&
        curl_easy_getinfo(t.Handle, CURLINFO_PRETRANSFER_TIME_T, &sent) == CURLE_OK &&
        curl_easy_getinfo(t.Handle, CURLINFO_STARTTRANSFER_TIME_T, &first) == CURLE_OK &&
        curl_easy_getinfo(t.Handle, CURLINFO_TOTAL_TIME_T, &total) == CURLE_OK && first > sent) {
      t.RoundTripUs = first - sent;
      t.BytesPerSecond = total > first ? body * 1000000 / (total - first) : 0;
    }
  }
}

void TInternetStream::WaitForNetwork() {
  // Short enough that an Abort is seen promptly.
  constexpr int kWaitMs = 250;
  curl_multi_poll(FTransfer->Multi, nullptr, 0, kWaitMs, nullptr);
}

void TInternetStream::EndRequest() {
  TTransfer& t = *FTransfer;
  if (!t.Running) return;
  // Ending an answer early costs its connection, and a new one costs a round trip. What has
  // already arrived is taken, and the rest waited for when it is short; it is kept for later.
  constexpr int64_t kFinishLimit = 256 * 1024;
  const TBuffer& into = *t.Into;
  const bool fits = static_cast<int64_t>(kBufferCapacity - into.Fill) >= t.Left();
  if (!t.WholeFile && fits) {
    for (;;) {
      const int64_t left = t.Left();
      Pump();
      if (!t.Running || t.Paused || FAborted.load()) break;
      if (t.Left() == left) {
        // The rest is waited for when it arrives sooner than a round trip, as far as the
        // ranges read so far tell.
        const bool soon =
            left <= kFinishLimit ||
            (t.BytesPerSecond > 0 && left * 1000000 / t.BytesPerSecond < t.RoundTripUs);
        if (!soon) break;
        WaitForNetwork();
      }
    }
  }
  if (t.Running) {
    // Leaving a transfer unfinished closes its connection.
    curl_multi_remove_handle(t.Multi, t.Handle);
    t.Running = false;
    t.Paused = false;
  }
  t.Ended = false;
}

bool TInternetStream::StartRequest(size_t Want) {
  TTransfer& t = *FTransfer;
  TBuffer& into = t.Spare();
  // Reading on where a range ended asks for a larger one.
  uint64_t size = kFirstRange;
  for (const TBuffer& buffer : t.Buffers)
    if (buffer.RangeEnd == FPosition && buffer.Range > 0)
      size = std::min<uint64_t>(uint64_t{buffer.Range} * 4, kMaxRange);
  size = std::max<uint64_t>(size, Want);
  size = std::min<uint64_t>(size, static_cast<uint64_t>(kMaxPosition - FPosition));
  int64_t end = FPosition + static_cast<int64_t>(size);
  if (t.FileSize > FPosition) {
    // Near the end (the index lies there) one range takes the rest.
    if (t.FileSize - FPosition <= static_cast<int64_t>(kMaxRange) || end > t.FileSize)
      end = t.FileSize;
  }
  into.Reset(FPosition);
  into.Range = static_cast<size_t>(end - FPosition);
  into.RangeEnd = end;
  t.Begin(into, FPosition, end);
  std::snprintf(t.RangeLine, sizeof t.RangeLine, "RANGE:bytes=%" PRId64 "-%" PRId64, FPosition,
                end - 1);
  if (FFtp) {
    const char* range = t.RangeLine + std::strlen("RANGE:bytes=");
    if (curl_easy_setopt(t.Handle, CURLOPT_RANGE, range) != CURLE_OK) {
      GlobalLog().AddLine("HttpAddRequestHeaders Error : " + std::string(t.RangeLine));
      return false;
    }
  }
  const CURLMcode added = curl_multi_add_handle(t.Multi, t.Handle);
  if (added != CURLM_OK) {
    GlobalLog().AddLine(std::string("HttpSendRequest Error : ") + curl_multi_strerror(added));
    return false;
  }
  t.Running = true;
  return true;
}

size_t TInternetStream::Read(void* Buffer, size_t Count) {
  if (Count == 0 || FAborted.load()) return 0;
  // The last byte asked for must be a 64-bit number.
  Count = static_cast<size_t>(
      std::min<uint64_t>(Count, static_cast<uint64_t>(kMaxPosition - FPosition)));
  if (Count == 0 || !Connect()) return 0;

  TTransfer& t = *FTransfer;
  auto* dest = static_cast<uint8_t*>(Buffer);
  size_t got = 0;
  for (;;) {
    got += TakeBuffered(dest + got, Count - got);
    if (got == Count || FAborted.load()) break;
    if (t.Ended && FPosition == t.Reached()) {
      // The request that stopped where reading goes on says why.
      t.Ended = false;
      if (t.Failed && !t.Earlier) {
        Report(static_cast<int>(t.Result), t.RangeLine);
        break;
      }
      // A request that ran on between reads may have been dropped by a server tired of
      // waiting: it is asked for again. A range answered in full ends where the next one
      // starts; a shorter answer ends the file.
      if (!t.Failed && (t.WholeFile || FPosition < t.End)) break;
    }
    // Past the end of a file whose size an answer told, nothing is asked for.
    if (t.FileSize >= 0 && FPosition >= t.FileSize) break;
    if (!Reaches(FPosition)) {
      EndRequest();
      if (FAborted.load() || !StartRequest(Count - got)) break;
    } else if (t.Into->End() != FPosition) {
      // Bytes up to the position are dropped; what the buffer held is kept for later reads.
      TBuffer& into = t.Spare();
      into.Reset(FPosition);
      into.Range = t.Into->Range;
      into.RangeEnd = t.Into->RangeEnd;
      t.Into = &into;
      t.SkipTo = FPosition;
    }
    Pump();
    if (t.Running && !Buffered(FPosition)) WaitForNetwork();
  }
  t.Earlier = true;
  if (got == Count) FLastFailure.clear();
  return got;
}

void TInternetStream::Report(int Result, const char* RangeLine) {
  const TTransfer& t = *FTransfer;
  const auto result = static_cast<CURLcode>(Result);
  if (result == CURLE_ABORTED_BY_CALLBACK || FAborted.load()) return;
  const char* range = RangeLine + std::strlen("RANGE:bytes=");
  if (!FFtp && t.Status != 0 && t.Status != 200 && t.Status != 206) {
    char text[64];
    std::snprintf(text, sizeof text, "GetRequestStatusCode Error : %d, ",
                  static_cast<int>(t.Status));
    GlobalLog().AddLine(text + FUrl + ", " + RangeLine + "\r\n");
    FLastFailure = "HTTP " + std::to_string(t.Status) + " for bytes " + range;
    return;
  }
  if (result == CURLE_OK && !t.Refused) return;
  // A refused remainder after every asked byte arrived is no failure.
  if (result == CURLE_WRITE_ERROR && t.Full) return;
  if (t.Refused) {
    GlobalLog().AddLine("InternetReadFile Error :the reply's range starts at byte " +
                        std::to_string(t.ReplyStart) + ", not at " + std::to_string(t.Start));
    FLastFailure = "the server sent bytes from " + std::to_string(t.ReplyStart) +
                   " when asked for bytes " + range;
    return;
  }
  const std::string reason = t.ErrorBuffer[0] != '\0' ? t.ErrorBuffer : curl_easy_strerror(result);
  long answered = t.Status;
  if (FFtp) curl_easy_getinfo(t.Handle, CURLINFO_RESPONSE_CODE, &answered);
  long osError = 0;
  curl_easy_getinfo(t.Handle, CURLINFO_OS_ERRNO, &osError);
  FLastFailure =
      result == CURLE_COULDNT_CONNECT && osError == ECONNREFUSED ? "connection refused" : reason;
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
