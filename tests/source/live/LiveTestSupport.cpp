#include "LiveTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "context/UserMessages.h"
#include "decoder/FileFormat.h"
#include "context/UserMessages.h"
#include "platform/TextCodec.h"
#include "source/live/StationMessageHeader.h"
#include "store/FramesBuffer.h"
#include "writer/BitmapWriter.h"
#include "writer/Pixels24.h"

namespace kyv::test {

namespace {

int MillisecondsLeft(std::chrono::steady_clock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      Deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::vector<uint8_t> Record(TFrameHeader Header, std::span<const uint8_t> Payload) {
  Header.DataSize = static_cast<uint32_t>(Payload.size());
  std::vector<uint8_t> bytes(TFrameHeader::kSize + Payload.size());
  Header.Write(bytes.data());
  std::memcpy(bytes.data() + TFrameHeader::kSize, Payload.data(), Payload.size());
  return bytes;
}

}  // namespace

std::vector<uint8_t> WireMessage(uint8_t Type, std::span<const uint8_t> Payload) {
  std::vector<uint8_t> bytes(TStationMessageHeader::kSize + Payload.size());
  TStationMessageHeader head{};
  head.MessageType = Type;
  head.Length = static_cast<uint32_t>(Payload.size());
  head.Write(bytes.data());
  std::memcpy(bytes.data() + TStationMessageHeader::kSize, Payload.data(), Payload.size());
  return bytes;
}

std::vector<uint8_t> WireMessage(uint8_t Type, std::string_view Payload) {
  return WireMessage(Type, std::span<const uint8_t>(
                               reinterpret_cast<const uint8_t*>(Payload.data()), Payload.size()));
}

std::vector<uint8_t> KeyFrameRecord(uint32_t Time, int Width, int Height) {
  const TPixels24 picture(Width, Height < 0 ? -Height : Height, 0x00336699);
  const std::vector<uint8_t> image = EncodeBitmapFile(picture, 24, Height < 0);
  TFrameHeader header{};
  header.Time = Time;
  header.FrameType = ftKeyFrame;
  header.Compression = ckNone;
  return Record(header, image);
}

std::vector<uint8_t> PlainRecord(uint32_t Time, size_t Size, int16_t Type) {
  std::vector<uint8_t> payload(Size);
  for (size_t i = 0; i < Size; ++i) payload[i] = static_cast<uint8_t>(i * 7 + Time);
  TFrameHeader header{};
  header.Time = Time;
  header.FrameType = Type;
  header.Compression = ckNone;
  return Record(header, payload);
}

TScriptedStation::TScriptedStation() {
  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(FListener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::listen(FListener, 4);
  socklen_t size = sizeof address;
  ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
  FPort = ntohs(address.sin_port);
}

TScriptedStation::~TScriptedStation() {
  CloseConnection();
  ::close(FListener);
}

std::string TScriptedStation::Address(const std::string& Channel) const {
  return "kyvs://127.0.0.1:" + std::to_string(FPort) + "/" + Channel;
}

bool TScriptedStation::Accept(std::chrono::milliseconds Timeout) {
  pollfd wait{FListener, POLLIN, 0};
  if (::poll(&wait, 1, static_cast<int>(Timeout.count())) <= 0) return false;
  CloseConnection();
  FConnection = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
  const int on = 1;
  ::setsockopt(FConnection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return FConnection >= 0;
}

bool TScriptedStation::ReadExact(void* Buffer, size_t Count,
                                 std::chrono::steady_clock::time_point Deadline) {
  auto* at = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    pollfd wait{FConnection, POLLIN, 0};
    if (::poll(&wait, 1, MillisecondsLeft(Deadline)) <= 0) return false;
    const ssize_t n = ::recv(FConnection, at, Count, 0);
    if (n <= 0) return false;
    at += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

std::optional<TWireMessage> TScriptedStation::Read(std::chrono::milliseconds Timeout) {
  if (FConnection < 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  uint8_t head[TStationMessageHeader::kSize];
  if (!ReadExact(head, sizeof head, deadline)) return std::nullopt;
  const TStationMessageHeader header = TStationMessageHeader::Read(head);
  TWireMessage message;
  message.Type = header.MessageType;
  message.Payload.resize(header.Length);
  if (!ReadExact(message.Payload.data(), header.Length, deadline)) return std::nullopt;
  return message;
}

bool TScriptedStation::Login(const std::string& Reply) {
  if (!Accept()) return false;
  const std::optional<TWireMessage> login = Read();
  if (!login) return false;
  FLoginText = login->Payload;
  SendMessage(mtString, Reply);
  const std::optional<TWireMessage> start = Read();
  return start && start->Payload == "Start";
}

void TScriptedStation::Send(std::span<const uint8_t> Bytes) {
  size_t sent = 0;
  while (sent < Bytes.size()) {
    const ssize_t n = ::send(FConnection, Bytes.data() + sent, Bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void TScriptedStation::SendMessage(uint8_t Type, std::string_view Payload) {
  Send(WireMessage(Type, Payload));
}

void TScriptedStation::CloseConnection() {
  if (FConnection >= 0) ::close(FConnection);
  FConnection = -1;
}

bool TScriptedStation::PeerClosed(std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  uint8_t scratch[4096];
  for (;;) {
    pollfd wait{FConnection, POLLIN, 0};
    if (::poll(&wait, 1, MillisecondsLeft(deadline)) <= 0) return false;
    if (::recv(FConnection, scratch, sizeof scratch, 0) <= 0) return true;
  }
}

HRESULT TEventSink::Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT*,
                           EXCEPINFO*, UINT*) {
  if (Flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
  if (Params == nullptr || Params->cArgs != 1 || Params->cNamedArgs != 0)
    return DISP_E_BADPARAMCOUNT;
  const VARIANT& argument = Params->rgvarg[0];
  TEvent event;
  event.Member = Member;
  event.Type = argument.vt;
  if (argument.vt == VT_BSTR)
    event.Text =
        FromUtf16(std::u16string_view(argument.u.bstrVal, SysStringLen(argument.u.bstrVal)));
  if (argument.vt == VT_I8 || argument.vt == VT_I4) {
    const int64_t address = argument.vt == VT_I8 ? argument.u.llVal : argument.u.lVal;
    const auto* record = reinterpret_cast<const uint8_t*>(static_cast<intptr_t>(address));
    const TFrameView view(record);
    event.Record.assign(record, record + view.Size());
  }
  std::lock_guard lock(FLock);
  FEvents.push_back(std::move(event));
  return S_OK;
}

std::vector<TEventSink::TEvent> TEventSink::Events() const {
  std::lock_guard lock(FLock);
  return FEvents;
}

bool TEventSink::WaitForCount(size_t Count, std::chrono::milliseconds Timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    {
      std::lock_guard lock(FLock);
      if (FEvents.size() >= Count) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
}

void TTrimCounter::Execute() {
  TMessage message;
  while (Queue().Get(message)) {
    if (message.Msg != UM_TRIM) continue;
    ++FTrims;
    FFrames.DiscardPlayed(true);
  }
}

}  // namespace kyv::test
