#include "PlayerSession.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "decoder/FileFormat.h"
#include "platform/Errors.h"
#include "source/live/SocketWait.h"
#include "source/live/StationMessageHeader.h"
#include "source/live/StationText.h"

namespace kyv::station {

namespace {

// Ends a session quietly: the station is stopping.
struct TStopped {};

// Frames sent back to back before the session looks at its socket and the stop again.
constexpr int kBurst = 64;
// What one pass takes from a player before it looks at the stop, its deadlines and its frames
// again: a player that sends without pause must not hold the session in its receive loop.
constexpr size_t kReceiveBurst = 64 * 1024;

std::string Shorten(std::string_view Text) {
  constexpr size_t kShown = 60;
  std::string shown(Text.substr(0, kShown));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return Text.size() > kShown ? shown + "..." : shown;
}

}  // namespace

TPlayerSession::TPlayerSession(int& Socket, std::string Peer, const TStationSetup& Setup)
    : FPeer(std::move(Peer)), FSetup(Setup), FSocket(std::exchange(Socket, -1)) {}

TPlayerSession::~TPlayerSession() {
  StopAndWait();
  if (FSocket >= 0) ::close(FSocket);
}

void TPlayerSession::Execute() {
  try {
    Serve();
    FSetup.Console.Note("player " + FPeer + " left");
  } catch (const TStopped&) {
  } catch (const std::exception& e) {
    FSetup.Console.Note("player " + FPeer + ": " + e.what() + "; connection closed");
  }
  // The player learns at once that the session is over, not when the station reaps it.
  ::close(FSocket);
  FSocket = -1;
}

short TPlayerSession::Wait(short Events, TClock::time_point Deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now());
    const int timeout = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000));
    pollfd fds[2] = {{FSocket, Events, 0}, {FSetup.StopFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw EKyvError(SocketErrorText("poll failed", errno));
    }
    if (fds[1].revents != 0) throw TStopped{};
    if (fds[0].revents != 0) return fds[0].revents;
    if (TClock::now() >= Deadline) return 0;
  }
}

void TPlayerSession::CheckStop() const {
  pollfd stop{FSetup.StopFd, POLLIN, 0};
  if (::poll(&stop, 1, 0) > 0 && stop.revents != 0) throw TStopped{};
}

bool TPlayerSession::ReceiveAvailable() {
  CheckStop();
  size_t received = 0;
  for (;;) {
    HandleIncoming();
    if (received >= kReceiveBurst) return true;
    const std::span<uint8_t> space = FFramer.ReceiveSpace();
    const ssize_t n = ::recv(FSocket, space.data(), space.size(), MSG_DONTWAIT);
    if (n > 0) {
      FFramer.Received(static_cast<size_t>(n));
      received += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    if (errno == ECONNRESET) return false;
    throw EKyvError(SocketErrorText("receive failed", errno));
  }
}

void TPlayerSession::HandleIncoming() {
  // Until "Start" NextText takes the texts one by one; what a refused player sends is dropped.
  TStationMessage message;
  while (FFramer.Next(message))
    if (FStarted)
      HandleText(std::string_view(reinterpret_cast<const char*>(message.Payload.data()),
                                  message.Payload.size()));
}

std::string TPlayerSession::NextText(TClock::time_point Deadline, const char* What) {
  for (;;) {
    // The stop and the deadline are looked at on every pass: a player that never pauses never
    // lets Wait see them.
    CheckStop();
    if (TClock::now() >= Deadline) throw EKyvError(std::string("sent no ") + What + " in time");
    TStationMessage message;
    if (FFramer.Next(message))
      return std::string(reinterpret_cast<const char*>(message.Payload.data()),
                         message.Payload.size());
    // Receives at most one chunk, so that whole messages are taken before the next receive.
    const std::span<uint8_t> space = FFramer.ReceiveSpace();
    const ssize_t n = ::recv(FSocket, space.data(), space.size(), MSG_DONTWAIT);
    if (n > 0) {
      FFramer.Received(static_cast<size_t>(n));
      continue;
    }
    if (n == 0 || (n < 0 && errno == ECONNRESET))
      throw EKyvError(std::string("closed the connection before ") + What);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw EKyvError(SocketErrorText("receive failed", errno));
    if (Wait(POLLIN, Deadline) == 0) throw EKyvError(std::string("sent no ") + What + " in time");
  }
}

void TPlayerSession::HandleText(std::string_view Text) {
  if (Text == "NOOP") return;
  const std::vector<std::string_view> lines = SplitLines(Text);
  if (!lines.empty() && lines.front() == "REQUEST") {
    FSetup.Console.Request(Text);
    return;
  }
  if (Text == "Start") return;
  FSetup.Console.Note("player " + FPeer + " sent a text that the station does not know: \"" +
                      Shorten(Text) + "\"");
}

TPlayerSession::TOutgoing TPlayerSession::TextMessage(TStationMessageType Type,
                                                      std::string_view Text) {
  TOutgoing message;
  message.Prefix.resize(TStationMessageHeader::kSize + Text.size());
  TStationMessageHeader head{};
  head.MessageType = Type;
  head.Length = static_cast<uint32_t>(Text.size());
  head.Write(message.Prefix.data());
  std::copy(Text.begin(), Text.end(), message.Prefix.begin() + TStationMessageHeader::kSize);
  return message;
}

TPlayerSession::TOutgoing TPlayerSession::FrameMessage(TBroadcastPosition Position) const {
  const std::span<const uint8_t> record = FSetup.Recording.Record(Position.Index);
  TOutgoing message;
  message.Prefix.resize(TStationMessageHeader::kSize + TFrameHeader::kSize);
  TStationMessageHeader head{};
  head.MessageType = mtFrame;
  head.Length = static_cast<uint32_t>(record.size());
  head.Write(message.Prefix.data());
  TFrameHeader header = TFrameHeader::Read(record.data());
  header.Time = FSetup.Schedule.WireTime(Position);
  header.Write(message.Prefix.data() + TStationMessageHeader::kSize);
  message.Body = record.data() + TFrameHeader::kSize;
  message.BodySize = record.size() - TFrameHeader::kSize;
  return message;
}

bool TPlayerSession::SendSome(TOutgoing& Message) {
  while (Message.Done < Message.Size()) {
    iovec parts[2];
    int count = 0;
    if (Message.Done < Message.Prefix.size()) {
      parts[count++] = {Message.Prefix.data() + Message.Done, Message.Prefix.size() - Message.Done};
      if (Message.BodySize > 0)
        parts[count++] = {const_cast<uint8_t*>(Message.Body), Message.BodySize};
    } else {
      const size_t into = Message.Done - Message.Prefix.size();
      parts[count++] = {const_cast<uint8_t*>(Message.Body) + into, Message.BodySize - into};
    }
    msghdr header{};
    header.msg_iov = parts;
    header.msg_iovlen = static_cast<size_t>(count);
    const ssize_t n = ::sendmsg(FSocket, &header, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      Message.Done += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
    if (errno == EPIPE || errno == ECONNRESET) throw EKyvError("the connection is gone");
    throw EKyvError(SocketErrorText("send failed", errno));
  }
  return true;
}

void TPlayerSession::SendWhole(TOutgoing Message) {
  TClock::time_point deadline = TClock::now() + kSendTimeout;
  while (!SendSome(Message))
    if (Wait(POLLOUT, deadline) == 0) throw EKyvError("takes no data");
}

void TPlayerSession::Linger() {
  // A refused player closes by itself; the connection is kept until it has read the reply.
  const TClock::time_point deadline = TClock::now() + kDenyLinger;
  while (ReceiveAvailable())
    if (TClock::now() >= deadline || Wait(POLLIN, deadline) == 0) return;
}

void TPlayerSession::Serve() {
  const std::string login = NextText(TClock::now() + kLoginTimeout, "login");
  const std::vector<std::string_view> lines = SplitLines(login);
  if (lines.empty() || lines.front() != "Login")
    throw EKyvError("sent \"" + Shorten(login) + "\" instead of a login");
  const std::string channel = FindLineValue(login, "Channel").value_or("");
  const std::string computer = FindLineValue(login, "ComputerName").value_or("");
  FSetup.Console.Note("player " + FPeer + " logged in: channel \"" + channel + "\", computer \"" +
                      computer + "\"");
  SendWhole(TextMessage(mtString, FSetup.Reply));
  if (FSetup.Options.Deny) {
    FSetup.Console.Note("player " + FPeer + " refused");
    Linger();
    return;
  }
  const TClock::time_point deadline = TClock::now() + kStartTimeout;
  for (;;) {
    const std::string text = NextText(deadline, "\"Start\"");
    if (text == "Start") break;
    HandleText(text);
  }
  FStarted = true;
  Stream();
}

void TPlayerSession::Stream() {
  std::deque<TOutgoing> texts;
  for (const TStationText& text : FSetup.Options.Texts)
    texts.push_back(TextMessage(text.Type, text.Text));
  const TBroadcastSchedule& schedule = FSetup.Schedule;
  TBroadcastPosition next = schedule.StartAt(TClock::now());
  std::optional<TOutgoing> pending;
  TClock::time_point lastProgress = TClock::now();
  for (;;) {
    // Sends what is due until the socket takes no more.
    for (int sent = 0; sent < kBurst; ++sent) {
      if (!pending) {
        if (!texts.empty()) {
          pending = std::move(texts.front());
          texts.pop_front();
        } else if (schedule.DueTime(next) <= TClock::now()) {
          pending = FrameMessage(next);
          if (FSetup.FrameSent) FSetup.FrameSent(schedule.WireTime(next));
          next = schedule.Next(next);
        } else {
          break;
        }
      }
      const size_t before = pending->Done;
      const bool whole = SendSome(*pending);
      if (pending->Done != before) lastProgress = TClock::now();
      if (!whole) break;
      pending.reset();
    }
    if (pending && TClock::now() - lastProgress >= kSendTimeout) throw EKyvError("takes no data");
    const TClock::time_point until = pending ? lastProgress + kSendTimeout : schedule.DueTime(next);
    const short events = Wait(static_cast<short>(POLLIN | (pending ? POLLOUT : 0)), until);
    if ((events & (POLLIN | POLLHUP | POLLERR)) != 0 && !ReceiveAvailable()) return;
  }
}

}  // namespace kyv::station
