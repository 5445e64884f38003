#include "Station.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>

#include "platform/Errors.h"
#include "source/live/SocketWait.h"

namespace kyv::station {

namespace {

std::string PeerName(const sockaddr_in& Peer) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &Peer.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(Peer.sin_port));
}

}  // namespace

TStation::TStation(TStationOptions Options, TStationConsole& Console, TFrameSentHook FrameSent)
    : FOptions(std::move(Options)),
      FConsole(Console),
      FRecording(FOptions.Recording),
      FSchedule(FRecording, FOptions.Speed, FOptions.Paced, TBroadcastSchedule::TClock::now()),
      FSetup{FOptions,   FRecording,  FSchedule,           FConsole,
             FStop.Fd(), MakeReply(), std::move(FrameSent)} {
  Listen();
}

TStation::~TStation() {
  Stop();
  FSessions.clear();
  FMulticast.reset();
  if (FListener >= 0) ::close(FListener);
}

std::string TStation::MakeReply() const {
  if (FOptions.Deny) return "Permission=False\r\n";
  std::string reply = "Permission=True\r\n";
  const std::pair<const char*, const std::optional<std::string>*> fields[] = {
      {"Title", &FOptions.Title},
      {"Author", &FOptions.Author},
      {"Copyright", &FOptions.Copyright},
      {"Description", &FOptions.Description}};
  for (const auto& [name, value] : fields)
    if (*value) reply += std::string(name) + "=" + **value + "\r\n";
  return reply;
}

void TStation::Listen() {
  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (FListener < 0) throw EKyvError(SocketErrorText("cannot make a socket", errno));
  const int on = 1;
  ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(FOptions.Port);
  ::inet_pton(AF_INET, FOptions.Bind.c_str(), &address.sin_addr);
  const std::string where = FOptions.Bind + ":" + std::to_string(FOptions.Port);
  if (::bind(FListener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(FListener, SOMAXCONN) != 0) {
    // The constructor fails, so no destructor will close it.
    const int error = errno;
    ::close(FListener);
    FListener = -1;
    throw EKyvError(SocketErrorText(("cannot listen on " + where).c_str(), error));
  }
  socklen_t size = sizeof address;
  ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
  FPort = ntohs(address.sin_port);
}

void TStation::Run() {
  if (FOptions.Multicast) FMulticast = TMulticastFeed::Start(*FOptions.Multicast, FSetup);
  FConsole.Note("serving " + FOptions.Recording.string() + " (" +
                std::to_string(FRecording.Width()) + " x " + std::to_string(FRecording.Height()) +
                ", " + std::to_string(FRecording.Count()) + " frames, a loop every " +
                std::to_string(FRecording.LoopPeriod()) + " ms) on " + FOptions.Bind + ":" +
                std::to_string(FPort) + (FOptions.Deny ? ", refusing every player" : ""));
  for (;;) {
    pollfd fds[2] = {{FListener, POLLIN, 0}, {FStop.Fd(), POLLIN, 0}};
    // Finished sessions are let go at least once a second.
    const int ready = ::poll(fds, 2, 1000);
    if (ready < 0 && errno != EINTR) throw EKyvError(SocketErrorText("poll failed", errno));
    if (ready > 0 && fds[1].revents != 0) break;
    Reap();
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) Accept();
  }
  FSessions.clear();
  FMulticast.reset();
  FConsole.Note("stopped");
}

void TStation::Reap() {
  std::erase_if(FSessions, [](const TThreadPtr<TPlayerSession>& s) { return s->Finished(); });
}

void TStation::Accept() {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  int socket =
      ::accept4(FListener, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (socket < 0) {
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      FConsole.Note(SocketErrorText("cannot take a player now", errno));
      // The connection stays waiting; without a pause the loop would spin on it.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return;
  }
  const std::string name = PeerName(peer);
  // Each frame leaves whole at once instead of its tail waiting for the player's delayed ack.
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  Reap();
  if (FSessions.size() >= static_cast<size_t>(FOptions.MaxPlayers)) {
    FConsole.Note("refusing " + name + ": " + std::to_string(FSessions.size()) +
                  " players are served already");
    ::close(socket);
    return;
  }
  try {
    FSessions.reserve(FSessions.size() + 1);
    FSessions.push_back(TThread::Create<TPlayerSession>(socket, name, FSetup));
  } catch (const std::exception& e) {
    // The session takes the socket over as the last step of its construction.
    if (socket >= 0) ::close(socket);
    FConsole.Note("cannot serve " + name + ": " + e.what());
  }
}

}  // namespace kyv::station
