#include "source/live/KyvTCPClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "context/UserMessages.h"
#include "decoder/ReaderErrors.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "source/live/HostResolver.h"
#include "source/live/PictureSize.h"
#include "source/live/SocketWait.h"
#include "source/live/StationAddress.h"
#include "source/live/StationMessageHeader.h"
#include "source/live/StationText.h"

namespace kyv {

namespace {

constexpr char kTextTooLong[] = "字符串长度不能超过 32K";
constexpr char kSendFailed[] = "send 发生网络故障,错误代码为:";
constexpr char kSendClosed[] = "send 网络连接已经断开";
constexpr char kReceiveFailed[] = "recv 发生网络故障,错误代码为:";
constexpr char kReceiveClosed[] = "recv 网络连接已经断开";

// Runs one step of opening; a failure that carries no code of its own gets Code.
template <class TStep>
void Step(int Code, TStep&& Run) {
  try {
    Run();
  } catch (const EKyvError& e) {
    if (e.Code()) throw;
    throw EKyvError(e.Message(), Code);
  } catch (const std::exception& e) {
    throw EKyvError(e.what(), Code);
  }
}

// Runs a hook of a descendant. What it raises is logged and the stream goes on: the failure
// is the receiver's, not the station's.
template <class THook>
void RunHook(const char* Name, THook&& Hook) {
  try {
    Hook();
  } catch (const std::exception& e) {
    GlobalLog().AddLine(std::string(Name) + ": " + e.what());
  }
}

}  // namespace

TKyvTCPClient::TKyvTCPClient(TPlayContext& Context)
    : TReadThread(Context), FFramer(std::move(FBuffer), FBufferSize) {
  // The framer owns the receive buffer that the base made.
  FBufferSize = 0;
  FReceiveBufferSize.store(FFramer.Capacity());
  Queue().SetWakeUp([this] { FWake.Signal(); });
}

TKyvTCPClient::~TKyvTCPClient() {
  // The owner's TThreadPtr has joined already; this covers a client deleted some other way,
  // before the members that the thread uses go.
  StopAndWait();
  Queue().SetWakeUp({});
  CloseSocket();
}

std::string TKyvTCPClient::Channel() const {
  std::lock_guard lock(FInfoLock);
  return FChannel;
}
std::string TKyvTCPClient::Host() const {
  std::lock_guard lock(FInfoLock);
  return FHost;
}
std::string TKyvTCPClient::HostAddress() const {
  std::lock_guard lock(FInfoLock);
  return FHostAddress;
}
uint16_t TKyvTCPClient::Port() const {
  std::lock_guard lock(FInfoLock);
  return FPort;
}
std::string TKyvTCPClient::Title() const {
  std::lock_guard lock(FInfoLock);
  return FTitle;
}
std::string TKyvTCPClient::Author() const {
  std::lock_guard lock(FInfoLock);
  return FAuthor;
}
std::string TKyvTCPClient::Copyright() const {
  std::lock_guard lock(FInfoLock);
  return FCopyright;
}
std::string TKyvTCPClient::Description() const {
  std::lock_guard lock(FInfoLock);
  return FDescription;
}

void TKyvTCPClient::Abort() {
  FWake.Signal();
}

int TKyvTCPClient::WaitSlice(uint32_t Start, uint32_t Limit) {
  const uint32_t elapsed = timeGetTime() - Start;
  const uint32_t left = elapsed >= Limit ? 0 : Limit - elapsed;
  return static_cast<int>(std::min(left, kMaxWaitMs));
}

void TKyvTCPClient::CloseSocket() noexcept {
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
}

void TKyvTCPClient::Fail(int Code, const std::string& Detail) {
  CloseSocket();
  SetState(rsIdle);
  if (Interrupted()) return;
  NoteFailure(Code, Detail);
  DoError(Code);
}

void TKyvTCPClient::DoOpen() {
  CloseSocket();
  FFramer.Clear();
  SetBufferFill(0);
  SetState(rsWaitingKeyFrame);
  SetSourceKind(skLiveTcp);
  try {
    const std::string address = Address();
    const TStationAddress parts = SplitStationAddress(address);
    uint16_t port = parts.Port != 0 ? parts.Port : kDefaultPort;
    {
      std::lock_guard lock(FInfoLock);
      FChannel = parts.Channel;
      FHost = parts.Host;
      FHostAddress.clear();
      FPort = port;
    }
    if (parts.Host.empty())
      throw EKyvError("The address names no host: \"" + address + "\"", reInvalidUrl);
    // The channel goes into the login text line by line: a line break in it would add lines.
    if (parts.Channel.find_first_of("\r\n") != std::string::npos)
      throw EKyvError("The channel of \"" + address + "\" holds a line break", reInvalidUrl);
    std::string hostAddress;
    Step(reResolveFailed, [&] { hostAddress = Resolve(parts.Host); });
    {
      std::lock_guard lock(FInfoLock);
      FHostAddress = hostAddress;
    }
    Step(reCannotConnect, [&] { Connect(hostAddress, port); });
    Step(reNetwork, [&] { Login(); });
    Step(reNetwork, [&] { SendText("Start"); });
  } catch (const EKyvError& e) {
    Fail(e.Code().value_or(reNetwork), e.Message());
    return;
  }
  Queue().Post(UM_READ, static_cast<WPARAM>(LPARAM{-1}));
}

std::string TKyvTCPClient::Resolve(const std::string& HostName) {
  const THostResolver lookup(HostName, FWake);
  while (!lookup.Done()) {
    if (Interrupted()) throw EKyvError("Resolving \"" + HostName + "\" was stopped");
    // No socket yet: only the wake-up descriptor is waited on.
    WaitForSocket(-1, 0, FWake, kMaxWaitMs);
  }
  return lookup.Result();
}

void TKyvTCPClient::Connect(const std::string& Address, uint16_t PortNumber) {
  CloseSocket();
  FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (FSocket < 0) throw EKyvError(SocketErrorText("socket failed", errno));
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(PortNumber);
  // Address is the resolver's dotted form, never the user's text.
  const int parsed = ::inet_pton(AF_INET, Address.c_str(), &peer.sin_addr);
  KYV_ASSERT(parsed == 1);
  const std::string where = Address + ":" + std::to_string(PortNumber);
  if (::connect(FSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS)
      throw EKyvError(SocketErrorText(("connect to " + where).c_str(), errno));
    const uint32_t start = timeGetTime();
    for (;;) {
      if (Interrupted()) throw EKyvError("Connecting to " + where + " was stopped");
      const int slice = WaitSlice(start, kConnectTimeoutMs);
      if (slice == 0 && timeGetTime() - start >= kConnectTimeoutMs)
        throw EKyvError("No connection to " + where + " within the time-out");
      if (WaitForSocket(FSocket, POLLOUT, FWake, slice).Events != 0) break;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(FSocket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error != 0) throw EKyvError(SocketErrorText(("connect to " + where).c_str(), error));
  }
  const int on = 1;
  if (::setsockopt(FSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
    throw EKyvError(SocketErrorText("TCP_NODELAY", errno));
}

void TKyvTCPClient::Login() {
  const std::string text = "Login\r\nChannel=" + Channel() + "\r\nComputerName=" + ComputerName() +
                           "\r\n" + Params() + "\r\n";
  SendText(text);
  std::string reply = ReceiveReply();
  const std::optional<std::string> permission = FindLineValue(reply, "Permission");
  SetReply(std::move(reply));
  if (permission && *permission == "False")
    throw EKyvError("The station refused the player", reServiceRefused);
}

void TKyvTCPClient::SendText(std::string_view Text) {
  KYV_ASSERT(!Text.empty());
  if (Text.size() > kMaxTextLength) throw EKyvError(kTextTooLong);
  if (FSocket < 0) throw EKyvError(kSendClosed);
  std::string block(TStationMessageHeader::kSize + Text.size(), '\0');
  TStationMessageHeader head{};
  head.MessageType = mtString;
  head.Length = static_cast<uint32_t>(Text.size());
  head.Write(reinterpret_cast<uint8_t*>(block.data()));
  std::memcpy(block.data() + TStationMessageHeader::kSize, Text.data(), Text.size());

  size_t sent = 0;
  uint32_t lastProgress = timeGetTime();
  while (sent < block.size()) {
    const ssize_t n = ::send(FSocket, block.data() + sent, block.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      lastProgress = timeGetTime();
      continue;
    }
    if (n == 0) throw EKyvError(kSendClosed);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw EKyvError(kSendFailed + std::to_string(errno));
    if (Interrupted()) throw EKyvError("send stopped");
    const int slice = WaitSlice(lastProgress, kSendTimeoutMs);
    if (slice == 0 && timeGetTime() - lastProgress >= kSendTimeoutMs)
      throw EKyvError(kSendFailed + std::to_string(ETIMEDOUT));
    WaitForSocket(FSocket, POLLOUT, FWake, slice);
  }
}

size_t TKyvTCPClient::ReceiveSome() {
  if (FSocket < 0) throw EKyvError(kReceiveClosed);
  const std::span<uint8_t> space = FFramer.ReceiveSpace();
  FReceiveBufferSize.store(FFramer.Capacity());
  for (;;) {
    const ssize_t n = ::recv(FSocket, space.data(), space.size(), 0);
    if (n > 0) {
      FFramer.Received(static_cast<size_t>(n));
      return static_cast<size_t>(n);
    }
    if (n == 0) throw EKyvError(kReceiveClosed);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    throw EKyvError(kReceiveFailed + std::to_string(errno));
  }
}

std::string TKyvTCPClient::ReceiveReply() {
  const uint32_t start = timeGetTime();
  for (;;) {
    TStationMessage message;
    if (FFramer.Next(message))
      return std::string(reinterpret_cast<const char*>(message.Payload.data()),
                         message.Payload.size());
    if (ReceiveSome() > 0) continue;
    if (Interrupted()) throw EKyvError("Waiting for the login reply was stopped");
    const int slice = WaitSlice(start, kReplyTimeoutMs);
    if (slice == 0 && timeGetTime() - start >= kReplyTimeoutMs)
      throw EKyvError(kReceiveFailed + std::to_string(ETIMEDOUT));
    WaitForSocket(FSocket, POLLIN, FWake, slice);
  }
}

void TKyvTCPClient::ParseStationInfo() {
  const std::string reply = Reply();
  std::lock_guard lock(FInfoLock);
  const std::pair<const char*, std::string*> fields[] = {{"Title", &FTitle},
                                                         {"Author", &FAuthor},
                                                         {"Copyright", &FCopyright},
                                                         {"Description", &FDescription}};
  for (const auto& [name, field] : fields) {
    const std::optional<std::string> value = FindLineValue(reply, name);
    if (value && !value->empty()) *field = *value;
  }
}

bool TKyvTCPClient::RequestPending() {
  TMessage message;
  while (Queue().Peek(message, UM_READ, UM_READ, true)) {
  }
  while (Queue().Peek(message, 0, 0, false)) {
    switch (message.Msg) {
      case UM_OPEN:
      case UM_SEEK:
      case UM_STOP:
      case UM_SEND_TEXT:
      case WM_QUIT:
        return true;
      default:
        // The message loop would only ignore it, and leaving for it would stall the stream.
        Queue().Peek(message, message.Msg, message.Msg, true);
    }
  }
  return false;
}

void TKyvTCPClient::DoRead(int64_t) {
  if (FSocket < 0) return;
  uint32_t keepAlive = timeGetTime();
  uint32_t lastByte = keepAlive;
  try {
    // The login reply may have come with whole messages behind it, and no more bytes may follow.
    HandleMessages();
    for (;;) {
      if (RequestPending() || Interrupted()) return;
      const size_t received = ReceiveSome();
      if (received > 0) {
        lastByte = timeGetTime();
        AddBytesReceived(received);
        HandleMessages();
        continue;
      }
      // A station that announced a message and fell silent would otherwise hold the player
      // waiting for its rest for ever.
      if (FFramer.Held() > 0 && timeGetTime() - lastByte >= kMessageTimeoutMs)
        throw EKyvError("no byte for " + std::to_string(kMessageTimeoutMs / 1000) +
                            " s while a message of the station was incomplete (" +
                            std::to_string(FFramer.Held()) + " bytes of it held)",
                        reNetwork);
      if (timeGetTime() - keepAlive >= kKeepAliveMs) {
        keepAlive = timeGetTime();
        if (WaitForSocket(FSocket, POLLOUT, FWake, 0).Events & POLLOUT) SendText("NOOP");
        // That look may have taken a wake-up meant for the queue: look at the queue again.
        continue;
      }
      DoIdle();
      WaitForSocket(FSocket, POLLIN, FWake, WaitSlice(keepAlive, kKeepAliveMs));
    }
  } catch (const EKyvError& e) {
    Fail(e.Code().value_or(reNetwork), e.Message());
  } catch (const std::exception& e) {
    Fail(reNetwork, e.what());
  }
}

void TKyvTCPClient::HandleMessages() {
  TStationMessage message;
  while (FFramer.Next(message)) {
    const std::string_view text(reinterpret_cast<const char*>(message.Payload.data()),
                                message.Payload.size());
    switch (message.Type) {
      case mtFrame:
        HandleFrame(message.Payload);
        break;
      case mtIndex:
        RunHook("DoIndexText", [&] { DoIndexText(text); });
        break;
      case mtString:
        RunHook("DoStringText", [&] { DoStringText(text); });
        break;
      case mtScript:
        RunHook("DoScriptText", [&] { DoScriptText(text); });
        break;
      default:
        break;  // a kind this player does not know
    }
  }
  SetBufferFill(FFramer.Held());
}

void TKyvTCPClient::HandleFrame(std::span<const uint8_t> Payload) {
  // The record must lie wholly inside its message; bytes after it are not looked at.
  if (Payload.size() < TFrameHeader::kSize)
    throw EKyvError("A frame message of " + std::to_string(Payload.size()) +
                        " bytes is too short for a frame header",
                    reNetwork);
  const TFrameView view(Payload.data());
  if (view.Size() > Payload.size())
    throw EKyvError("A frame message of " + std::to_string(Payload.size()) +
                        " bytes holds a record of " + std::to_string(view.Size()) + " bytes",
                    reNetwork);
  if (State() == rsWaitingKeyFrame) {
    // Nothing can be shown before a usable key frame, and nothing would free what came before
    // it: such frames are dropped, and a key frame the picture cannot be made from is passed
    // over as well, whatever is wrong with it.
    if (!view.IsKeyFrame()) return;
    TPictureSize size;
    try {
      size = ReadPictureSize(view);
    } catch (const std::exception& e) {
      GlobalLog().AddLine("Key frame at " + std::to_string(view.Time()) +
                          " ms passed over while waiting for a usable one: " + e.what());
      return;
    }
    SetState(rsDelivering);
    RunHook("DoPictureSize", [&] { DoPictureSize(size.Width, size.Height); });
  }
  TFrameRecord record = TFrameRecord::FromBytes(Payload.first(view.Size()));
  RunHook("DoFrame", [&] { DoFrame(record); });
}

void TKyvTCPClient::DoSeek(uint32_t Time) {
  Queue().Post(UM_READ, static_cast<WPARAM>(Time));
}

void TKyvTCPClient::DoReset() {
  CloseSocket();
  FFramer.Clear();
  SetBufferFill(0);
  SetState(rsIdle);
  FWake.Drain();
}

void TKyvTCPClient::DoSendText(std::string_view Text) {
  if (FSocket < 0) return;  // nobody to send to: the text is dropped
  // A text refused before anything is sent leaves the connection as it is.
  KYV_ASSERT(!Text.empty());
  if (Text.size() > kMaxTextLength) throw EKyvError(kTextTooLong);
  // Before the first key frame nothing else brings the reader back to receiving.
  if (State() == rsWaitingKeyFrame) Queue().Post(UM_READ, static_cast<WPARAM>(LPARAM{-1}));
  try {
    SendText(Text);
  } catch (const std::exception& e) {
    // Part of the message may be on the wire: anything sent after it would be read as its rest.
    Fail(reNetwork, e.what());
  }
}

void TKyvTCPClient::DoPictureSize(uint16_t, uint16_t) {
  ParseStationInfo();
}

}  // namespace kyv
