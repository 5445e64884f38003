#include "ScriptedHttpServer.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace kyv::test {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first range of a "Range: bytes=a-b" header; false when the request asks none.
bool FindRange(const std::string& request, uint64_t* first, uint64_t* last) {
  const std::string lower = Lower(request);
  const size_t at = lower.find("\r\nrange:");
  if (at == std::string::npos) return false;
  const size_t bytes = lower.find("bytes=", at);
  if (bytes == std::string::npos) return false;
  unsigned long long a = 0, b = 0;
  const int n = std::sscanf(request.c_str() + bytes + 6, "%llu-%llu", &a, &b);
  if (n < 1) return false;
  *first = a;
  *last = n == 2 ? b : UINT64_MAX;
  return true;
}

}  // namespace

TScriptedHttpServer::TScriptedHttpServer(std::vector<uint8_t> Content)
    : FContent(std::move(Content)) {
  if (::pipe2(FWake, O_CLOEXEC) != 0) return;
  FListener = ListenOnLoopback(&FPort);
  if (FListener < 0) return;
  FAcceptThread = std::thread([this] { AcceptLoop(); });
}

TScriptedHttpServer::~TScriptedHttpServer() {
  {
    std::lock_guard lock(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  if (FWake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(FWake[1], &byte, 1);
  }
  if (FAcceptThread.joinable()) FAcceptThread.join();
  // No thread is added once the accept loop has ended.
  for (std::thread& thread : FConnectionThreads) thread.join();
  if (FListener >= 0) ::close(FListener);
  for (const int fd : FWake)
    if (fd >= 0) ::close(fd);
}

std::string TScriptedHttpServer::Url(const std::string& Path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + "/" + Path;
}

void TScriptedHttpServer::SetBehaviour(THttpBehaviour Behaviour, size_t BreakBytes) {
  std::lock_guard lock(FLock);
  FBehaviour = Behaviour;
  FBreakBytes = BreakBytes;
  FStallReleased = false;
}

std::vector<std::string> TScriptedHttpServer::Requests() const {
  std::lock_guard lock(FLock);
  return FRequests;
}

size_t TScriptedHttpServer::Connections() const {
  std::lock_guard lock(FLock);
  return FConnectionThreads.size();
}

bool TScriptedHttpServer::WaitUntilStalled(std::chrono::milliseconds Timeout) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, Timeout, [this] { return FStalled > 0; });
}

void TScriptedHttpServer::ReleaseStall() {
  {
    std::lock_guard lock(FLock);
    FStallReleased = true;
  }
  FChanged.notify_all();
}

bool TScriptedHttpServer::WaitReadable(int Socket) const {
  pollfd fds[2] = {{Socket, POLLIN, 0}, {FWake[0], POLLIN, 0}};
  for (;;) {
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) return false;
    return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
}

void TScriptedHttpServer::AcceptLoop() {
  while (WaitReadable(FListener)) {
    const int socket = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    // Headers and body go out in separate sends; without this the client's delayed
    // acknowledgement holds the body back.
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard lock(FLock);
    if (FStopping) {
      ::close(socket);
      return;
    }
    FConnectionThreads.emplace_back([this, socket] { Serve(socket); });
  }
}

void TScriptedHttpServer::Serve(int Socket) {
  std::string pending;
  char chunk[4096];
  for (;;) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
      if (!WaitReadable(Socket)) break;
      const ssize_t n = ::recv(Socket, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      pending.append(chunk, static_cast<size_t>(n));
    }
    if (end == std::string::npos) break;
    const std::string request = pending.substr(0, end + 4);
    pending.erase(0, end + 4);

    THttpBehaviour behaviour;
    size_t breakBytes;
    {
      std::lock_guard lock(FLock);
      FRequests.push_back(request);
      behaviour = FBehaviour;
      breakBytes = FBreakBytes;
    }
    const uint64_t size = FContent.size();
    uint64_t first = 0, last = 0;
    const bool ranged = FindRange(request, &first, &last);
    if (behaviour == THttpBehaviour::NotFound) {
      const std::string body = "not found";
      const std::string head =
          "HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
          body;
      if (!SendAll(Socket, head.data(), head.size())) break;
      continue;
    }
    if (behaviour == THttpBehaviour::IgnoreRange || !ranged) {
      const std::string head =
          "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
      if (!SendAll(Socket, head.data(), head.size()) ||
          !SendAll(Socket, FContent.data(), FContent.size()))
        break;
      continue;
    }
    if (first >= size) {
      const std::string head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                               std::to_string(size) + "\r\nContent-Length: 0\r\n\r\n";
      if (!SendAll(Socket, head.data(), head.size())) break;
      continue;
    }
    if (behaviour == THttpBehaviour::ShiftedRange && first + 1 < size) ++first;
    last = std::min(last, size - 1);
    const uint64_t length = last - first + 1;
    const size_t extra = behaviour == THttpBehaviour::OverSend ? 4096 : 0;
    const std::string head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                             std::to_string(first) + "-" + std::to_string(last) + "/" +
                             std::to_string(size) +
                             "\r\nContent-Length: " + std::to_string(length + extra) + "\r\n\r\n";
    if (!SendAll(Socket, head.data(), head.size())) break;
    if (behaviour == THttpBehaviour::Stall) {
      std::unique_lock lock(FLock);
      ++FStalled;
      FChanged.notify_all();
      FChanged.wait(lock, [this] { return FStallReleased || FStopping; });
      break;
    }
    if (behaviour == THttpBehaviour::BreakAfter) {
      SendAll(Socket, FContent.data() + first, std::min<uint64_t>(breakBytes, length));
      break;
    }
    if (!SendAll(Socket, FContent.data() + first, length)) break;
    if (behaviour == THttpBehaviour::CloseAfterReply) break;
    if (extra > 0) {
      const std::vector<uint8_t> more(extra, 0xEE);
      if (!SendAll(Socket, more.data(), more.size())) break;
    }
  }
  ::shutdown(Socket, SHUT_RDWR);
  ::close(Socket);
}

}  // namespace kyv::test
