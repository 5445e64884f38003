#include "LatencyProxy.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>

namespace kyv::test {
namespace {

using Clock = std::chrono::steady_clock;

void NoDelay(int socket) {
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

struct TChunk {
  Clock::time_point Due;
  std::vector<uint8_t> Bytes;
};

}  // namespace

TLatencyProxy::TLatencyProxy(uint16_t TargetPort, std::chrono::milliseconds OneWayDelay)
    : FTargetPort(TargetPort), FDelay(OneWayDelay) {
  if (::pipe2(FWake, O_CLOEXEC) != 0) return;
  FListener = ListenOnLoopback(&FPort);
  if (FListener < 0) return;
  FAcceptThread = std::thread([this] { AcceptLoop(); });
}

TLatencyProxy::~TLatencyProxy() {
  if (FWake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(FWake[1], &byte, 1);
  }
  if (FAcceptThread.joinable()) FAcceptThread.join();
  // Ends sends blocked on a peer that no longer reads.
  {
    std::lock_guard lock(FLock);
    for (const int socket : FSockets) ::shutdown(socket, SHUT_RDWR);
  }
  for (std::thread& pump : FPumps) pump.join();
  for (const int socket : FSockets) ::close(socket);
  if (FListener >= 0) ::close(FListener);
  for (const int fd : FWake)
    if (fd >= 0) ::close(fd);
}

std::string TLatencyProxy::Url(const std::string& Path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + "/" + Path;
}

size_t TLatencyProxy::Connections() const {
  std::lock_guard lock(FLock);
  return FConnections;
}

void TLatencyProxy::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{FListener, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) return;
    const int client = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(FTargetPort);
    if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      if (server >= 0) ::close(server);
      ::close(client);
      continue;
    }
    NoDelay(client);
    NoDelay(server);
    std::lock_guard lock(FLock);
    ++FConnections;
    FSockets.push_back(client);
    FSockets.push_back(server);
    // Across a network the client's first bytes leave only after the handshake's round trip;
    // here the handshake ends at once, so its cost is added to them.
    const Clock::time_point ready = Clock::now() + 2 * FDelay;
    FPumps.emplace_back([this, client, server, ready] { Pump(client, server, FToServer, ready); });
    FPumps.emplace_back(
        [this, client, server, ready] { Pump(server, client, FFromServer, ready); });
  }
}

void TLatencyProxy::Pump(int From, int To, std::atomic<uint64_t>& Counter,
                         Clock::time_point Ready) {
  std::deque<TChunk> queue;
  size_t queued = 0;
  bool ended = false;
  bool failed = false;
  std::vector<uint8_t> scratch(64 * 1024);
  while (!failed && !(ended && queue.empty())) {
    const Clock::time_point now = Clock::now();
    while (!queue.empty() && queue.front().Due <= now) {
      if (!SendAll(To, queue.front().Bytes.data(), queue.front().Bytes.size())) {
        failed = true;
        break;
      }
      queued -= queue.front().Bytes.size();
      queue.pop_front();
    }
    if (failed || (ended && queue.empty())) break;
    int timeout = -1;
    if (!queue.empty()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(queue.front().Due - now);
      timeout = static_cast<int>(std::max<int64_t>(wait.count(), 0));
    }
    const bool reading = !ended && queued < kWindowBytes;
    pollfd fds[2] = {{reading ? From : -1, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    const int n = ::poll(fds, 2, timeout);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) {
      failed = true;
      break;
    }
    if (reading && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t got = ::recv(From, scratch.data(), scratch.size(), 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        failed = true;
        break;
      }
      if (got == 0) {
        ended = true;
        continue;
      }
      Counter += static_cast<uint64_t>(got);
      queue.push_back({std::max(Clock::now(), Ready) + FDelay,
                       {scratch.begin(), scratch.begin() + static_cast<ptrdiff_t>(got)}});
      queued += static_cast<size_t>(got);
    }
  }
  if (failed) {
    // One side is gone: the other hears of it as across a network, by a reset or an end.
    ::shutdown(From, SHUT_RDWR);
    ::shutdown(To, SHUT_RDWR);
  } else {
    ::shutdown(To, SHUT_WR);
  }
}

}  // namespace kyv::test
