#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kyv::test {

// A TCP proxy on 127.0.0.1 (port chosen by the system) in front of a loopback server: every
// byte is held back by OneWayDelay in each direction, so that a round trip through it costs
// twice that, and a new connection's first round trip (its handshake) as well, as across a
// real network. Bandwidth is not limited; each direction keeps at most
// kWindowBytes in flight, so a reader that stops reading stops the sender as TCP would.
// Counts the bytes that crossed it each way. Members may be called from any thread.
class TLatencyProxy {
 public:
  static constexpr size_t kWindowBytes = 4 * 1024 * 1024;

  TLatencyProxy(uint16_t TargetPort, std::chrono::milliseconds OneWayDelay);
  ~TLatencyProxy();
  TLatencyProxy(const TLatencyProxy&) = delete;
  TLatencyProxy& operator=(const TLatencyProxy&) = delete;

  bool Started() const { return FListener >= 0; }
  uint16_t Port() const { return FPort; }
  // "http://127.0.0.1:<port>/" followed by Path as given.
  std::string Url(const std::string& Path) const;

  // Bytes the server sent towards the client and the client towards the server.
  uint64_t BytesFromServer() const { return FFromServer.load(); }
  uint64_t BytesToServer() const { return FToServer.load(); }
  size_t Connections() const;

 private:
  void AcceptLoop();
  using Clock = std::chrono::steady_clock;

  // Copies From to To with the delay, nothing before Ready, until either side ends; then shuts
  // both down.
  void Pump(int From, int To, std::atomic<uint64_t>& Counter, Clock::time_point Ready);

  const uint16_t FTargetPort;
  const std::chrono::milliseconds FDelay;
  int FListener = -1;
  int FWake[2] = {-1, -1};  // written once by the destructor; every wait polls its read end
  uint16_t FPort = 0;
  std::atomic<uint64_t> FFromServer{0};
  std::atomic<uint64_t> FToServer{0};
  std::thread FAcceptThread;

  mutable std::mutex FLock;  // guards the fields below
  std::vector<std::thread> FPumps;
  std::vector<int> FSockets;  // closed by the destructor once every pump has ended
  size_t FConnections = 0;
};

}  // namespace kyv::test
