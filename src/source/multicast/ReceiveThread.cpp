#include "source/multicast/ReceiveThread.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "context/UserMessages.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "source/multicast/MessageAssembler.h"

namespace kyv {

namespace {

// Datagrams taken in one go before the queue is looked at again.
constexpr int kBurst = 64;

[[noreturn]] void FailSetup(const char* Text, int Error) {
  throw EKyvError(std::string(Text) + std::to_string(Error));
}

// An address that inet_pton does not take counts as the failure of the call that needed it.
bool ParseAddress(const std::string& Text, in_addr& Address) {
  return inet_pton(AF_INET, Text.c_str(), &Address) == 1;
}

}  // namespace

TReceiveThread::TReceiveThread()
    : FDatagram(std::make_unique_for_overwrite<uint8_t[]>(kMaxDatagramSize)) {
  FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (FWakeFd < 0)
    throw EAssertionFailed(std::string("eventfd for a receiver failed: ") + std::strerror(errno));
  Queue().SetWakeUp([fd = FWakeFd] {
    // A full counter already wakes the loop, so a failed write loses nothing.
    if (eventfd_write(fd, 1) != 0) return;
  });
}

TReceiveThread::~TReceiveThread() {
  // The owner's TThreadPtr has joined already; this covers a receiver deleted some other way.
  StopAndWait();
  Queue().SetWakeUp(nullptr);
  CloseSocket();
  ::close(FWakeFd);
}

void TReceiveThread::SetGroupAddress(std::string Address) {
  std::lock_guard lock(FSettingsLock);
  FGroupAddress = std::move(Address);
}

void TReceiveThread::SetPort(uint16_t Port) {
  std::lock_guard lock(FSettingsLock);
  FPort = Port;
}

void TReceiveThread::SetInterfaceAddress(std::string Address) {
  std::lock_guard lock(FSettingsLock);
  FInterfaceAddress = std::move(Address);
}

std::string TReceiveThread::GroupAddress() const {
  std::lock_guard lock(FSettingsLock);
  return FGroupAddress;
}

uint16_t TReceiveThread::Port() const {
  std::lock_guard lock(FSettingsLock);
  return FPort;
}

std::string TReceiveThread::InterfaceAddress() const {
  std::lock_guard lock(FSettingsLock);
  return FInterfaceAddress;
}

std::string TReceiveThread::SetupError() const {
  std::lock_guard lock(FSettingsLock);
  return FSetupError;
}

void TReceiveThread::WaitForCommandTaken() {
  // The thread announces its end through the event too; looking at Finished between slices
  // keeps the owner from waiting on a thread that is gone.
  while (!FEvent.WaitFor(kCommandWaitSlice)) {
    if (Finished()) return;
  }
}

void TReceiveThread::StartReceiving() {
  if (SafePostThreadMessage(*this, UM_RECEIVE_START)) WaitForCommandTaken();
}

void TReceiveThread::StopReceiving() {
  if (SafePostThreadMessage(*this, UM_RECEIVE_STOP)) WaitForCommandTaken();
}

void TReceiveThread::DoReceive(const uint8_t*, size_t) {}

void TReceiveThread::DoLoss(std::string_view Text) {
  const TLossTextLimiter::TVerdict verdict = FLossLimiter.Take(timeGetTime());
  if (!verdict.Summary.empty()) OutputDebugString(verdict.Summary);
  if (verdict.ShowText) OutputDebugString(Text);
}

void TReceiveThread::FlushLossTexts() {
  const std::string summary = FLossLimiter.Flush(timeGetTime());
  if (!summary.empty()) OutputDebugString(summary);
}

void TReceiveThread::Execute() {
  // A command posted just before the thread ended must not leave its caller waiting.
  struct TAnnounceEnd {
    TReceiveThread& Self;
    ~TAnnounceEnd() {
      Self.FRunning.store(false, std::memory_order_release);
      Self.FEvent.Set();
    }
  } announceEnd{*this};

  TMessage message;
  for (;;) {
    if (Running()) {
      try {
        ReceiveLoop();
      } catch (const std::exception& e) {
        FRunning.store(false, std::memory_order_release);
        ReportSetupFailure(e.what());
      }
    }
    if (!Queue().Get(message)) break;
    switch (message.Msg) {
      case UM_RECEIVE_START:
        FRunning.store(true, std::memory_order_release);
        FEvent.Set();
        break;
      case UM_RECEIVE_STOP:
        FRunning.store(false, std::memory_order_release);
        FEvent.Set();
        break;
      default:
        break;  // not a receiver request; a running loop goes on with a fresh socket
    }
  }
}

void TReceiveThread::ReportSetupFailure(const std::string& Text) {
  {
    std::lock_guard lock(FSettingsLock);
    FSetupError = Text;
  }
  OutputDebugString(Text);
  GlobalLog().AddLine(Text + " (group " + GroupAddress() + ", port " + std::to_string(Port()) +
                      ", interface " + InterfaceAddress() + ")");
}

void TReceiveThread::CloseSocket() noexcept {
  if (FSocket >= 0 && FJoined) {
    // Said before the close, so that the group is left even if the descriptor lived on.
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = FJoinedGroup;
    membership.imr_interface.s_addr = FJoinedInterface;
    static_cast<void>(
        setsockopt(FSocket, IPPROTO_IP, IP_DROP_MEMBERSHIP, &membership, sizeof membership));
  }
  FJoined = false;
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
}

void TReceiveThread::OpenSocket() {
  CloseSocket();
  std::string group;
  std::string interface;
  uint16_t port;
  {
    std::lock_guard lock(FSettingsLock);
    group = FGroupAddress;
    interface = FInterfaceAddress;
    port = FPort;
    FSetupError.clear();
  }

  FSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (FSocket < 0)
    throw EAssertionFailed(std::string("UDP socket could not be made: ") + std::strerror(errno));
  // Only datagrams of the groups this socket joins, on the interfaces it joins them on; the
  // default would also hand it every other socket's groups on the same port, even before the
  // join below.
  const int off = 0;
  if (setsockopt(FSocket, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off) < 0)
    FailSetup("IP_MULTICAST_ALL could not be cleared: ", errno);

  const int on = 1;
  if (setsockopt(FSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
    throw EKyvError("重用失败");

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (!ParseAddress(group, local.sin_addr)) FailSetup("绑定失败 ：", EINVAL);
  if (::bind(FSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0)
    FailSetup("绑定失败 ：", errno);

  ip_mreq membership{};
  membership.imr_multiaddr = local.sin_addr;
  membership.imr_interface.s_addr = htonl(INADDR_ANY);
  if (!interface.empty() && !ParseAddress(interface, membership.imr_interface))
    FailSetup("加入多播组失败：", EINVAL);
  if (setsockopt(FSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) < 0)
    FailSetup("加入多播组失败：", errno);
  FJoined = true;
  FJoinedGroup = membership.imr_multiaddr.s_addr;
  FJoinedInterface = membership.imr_interface.s_addr;

  timeval timeout{};
  timeout.tv_sec = kReceiveTimeoutMs / 1000;
  timeout.tv_usec = (kReceiveTimeoutMs % 1000) * 1000;
  if (setsockopt(FSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) < 0)
    FailSetup("设置超时时间失败:", errno);
  const int buffer = kSocketBufferSize;
  static_cast<void>(setsockopt(FSocket, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer));
}

bool TReceiveThread::RequestWaiting() {
  TMessage message;
  return Queue().Peek(message, 0, 0, false);
}

void TReceiveThread::ReceiveLoop() {
  // Every way out of the loop (a stop, a restart, a failed set-up, the end) leaves the group
  // and closes the socket: a stopped receiver must not stay joined.
  struct TCloseOnExit {
    TReceiveThread& Self;
    ~TCloseOnExit() { Self.CloseSocket(); }
  } closeOnExit{*this};
  OpenSocket();
  // Each run of the loop starts with no message half put together.
  auto assembler = std::make_unique<TMessageAssembler>();
  while (!RequestWaiting()) {
    pollfd waits[2] = {{FSocket, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
    const int ready = ::poll(waits, 2, kReceiveTimeoutMs);
    if (ready <= 0) {
      // A time-out or a signal: a quiet moment to report held-back losses, then the queue.
      FlushLossTexts();
      continue;
    }
    if (waits[1].revents != 0) {
      eventfd_t count;
      static_cast<void>(eventfd_read(FWakeFd, &count));
    }
    if (waits[0].revents == 0) continue;
    for (int i = 0; i < kBurst && !RequestWaiting(); ++i) {
      const ssize_t length =
          ::recv(FSocket, FDatagram.get(), kMaxDatagramSize, MSG_TRUNC | MSG_DONTWAIT);
      if (length <= 0) break;  // nothing more waiting, or an error: the next wait decides
      FDatagramsReceived.fetch_add(1, std::memory_order_relaxed);
      if (static_cast<size_t>(length) > kMaxDatagramSize) {
        Account(assembler->RefuseDatagram());
        continue;
      }
      const TAssembleResult result =
          assembler->Feed(std::span<const uint8_t>(FDatagram.get(), static_cast<size_t>(length)));
      Account(result);
      if (!result.Complete) continue;
      try {
        DoReceive(result.Message.data(), result.Message.size());
      } catch (const std::exception& e) {
        OutputDebugString(std::string("a received message could not be handled: ") + e.what());
      }
    }
  }
}

void TReceiveThread::Account(const TAssembleResult& Result) {
  // A new message that ends an incomplete one reports the abandoned message first.
  if (Result.MessageAbandoned) {
    FMessagesAbandoned.fetch_add(1, std::memory_order_relaxed);
    DoLoss(kLossMessageText);
  }
  if (Result.PacketDropped) {
    FPacketsDropped.fetch_add(1, std::memory_order_relaxed);
    DoLoss(kLossPacketText);
  }
  if (Result.Complete) FMessagesReceived.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace kyv
