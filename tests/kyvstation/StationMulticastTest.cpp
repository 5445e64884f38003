// The station's multicast feed, inside a private network namespace that the test makes and
// removes; multicast never touches the machine's real interfaces. Skipped with the reason where
// namespaces are not permitted.
#include <fcntl.h>
#include <sched.h>

#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

#include "StationChild.h"
#include "source/multicast/MulticastPacketHeader.h"
#include "source/multicast/SmsFile.h"

namespace kyv {
namespace {

using namespace test;

// A network namespace with only its loopback, up and routing multicast.
class TNamespace {
 public:
  TNamespace() : FName("kyv_station_mc_" + std::to_string(::getpid())) {
    if (::geteuid() != 0) {
      FReason = "network namespaces need root";
      return;
    }
    if (!Run("ip netns add " + FName)) {
      FReason = "\"ip netns add\" failed (no iproute2, or not permitted here)";
      return;
    }
    FMade = true;
    if (!Run("ip -n " + FName + " link set lo up") ||
        !Run("ip -n " + FName + " link set lo multicast on") ||
        !Run("ip -n " + FName + " route add 224.0.0.0/4 dev lo"))
      FReason = "the namespace's loopback cannot carry multicast";
  }
  ~TNamespace() {
    if (FMade) Run("ip netns del " + FName);
  }

  bool Usable() const { return FReason.empty(); }
  const std::string& Reason() const { return FReason; }
  const std::string& Name() const { return FName; }

 private:
  static bool Run(const std::string& Command) {
    return std::system((Command + " >/dev/null 2>&1").c_str()) == 0;
  }

  std::string FName;
  std::string FReason;
  bool FMade = false;
};

// Joins Group on the namespace's loopback from a thread that enters the namespace, and keeps
// the datagrams that arrive within the time.
std::vector<std::vector<uint8_t>> Receive(const std::string& Namespace, const char* Group,
                                          uint16_t Port, std::chrono::milliseconds Time) {
  std::vector<std::vector<uint8_t>> datagrams;
  std::thread receiver([&] {
    const int ns = ::open(("/var/run/netns/" + Namespace).c_str(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) return;
    ::close(ns);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Port);
    ::inet_pton(AF_INET, Group, &address.sin_addr);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ip_mreq join{};
    ::inet_pton(AF_INET, Group, &join.imr_multiaddr);
    ::inet_pton(AF_INET, "127.0.0.1", &join.imr_interface);
    ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join);
    const auto end = std::chrono::steady_clock::now() + Time;
    std::vector<uint8_t> buffer(65536);
    while (std::chrono::steady_clock::now() < end) {
      pollfd wait{fd, POLLIN, 0};
      if (::poll(&wait, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (n > 0) datagrams.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    ::close(fd);
  });
  receiver.join();
  return datagrams;
}

TEST(KyvStationMulticast, SendsEveryFrameAsNumberedDatagramsAndDescribesTheGroup) {
  TNamespace space;
  if (!space.Usable()) GTEST_SKIP() << "multicast test skipped: " << space.Reason();
  TTempFolder folder("kyv_station_mc");
  const uint16_t port = FreeLoopbackPort();
  const std::filesystem::path sms = folder / "group.sms";
  TStationChild station(
      folder,
      {Recording(folder).string(), "--speed", "4", "--multicast",
       "239.255.70.7:" + std::to_string(port), "--interface", "127.0.0.1", "--sms", sms.string()},
      {"ip", "netns", "exec", space.Name()});
  ASSERT_TRUE(station.Ready()) << station.Output();
  const TSmsAddress described = ReadSmsFile(sms);
  EXPECT_TRUE(described.Valid()) << described.Problem;
  EXPECT_EQ(described.Ip, "239.255.70.7");
  EXPECT_EQ(described.Port, port);

  const auto datagrams = Receive(space.Name(), "239.255.70.7", port, 800ms);
  ASSERT_FALSE(datagrams.empty()) << station.Output();
  // Whole messages put together from their packets, by message number.
  std::map<uint32_t, std::vector<uint8_t>> messages;
  std::map<uint32_t, uint16_t> nextPacket;
  for (const auto& datagram : datagrams) {
    ASSERT_GE(datagram.size(), TMulticastPacketHeader::kSize);
    ASSERT_LE(datagram.size(), kMaxDatagramSize);
    const TMulticastPacketHeader head = TMulticastPacketHeader::Read(datagram.data());
    if (head.PacketIndex != nextPacket[head.MessageId]) continue;  // joined mid-message
    ++nextPacket[head.MessageId];
    auto& message = messages[head.MessageId];
    message.insert(message.end(), datagram.begin() + TMulticastPacketHeader::kSize, datagram.end());
    if (head.PacketIndex + 1 == head.PacketCount) {
      EXPECT_EQ(message.size(), head.MessageSize);
    }
  }
  uint32_t lastTime = 0;
  int whole = 0;
  for (const auto& [id, message] : messages) {
    if (message.size() < TFrameHeader::kSize) continue;
    const TFrameHeader header = TFrameHeader::Read(message.data());
    if (message.size() != header.RecordSize()) continue;  // a message cut by the time limit
    if (whole++ > 0) {
      EXPECT_GT(header.Time, lastTime);
    }
    lastTime = header.Time;
  }
  EXPECT_GE(whole, 5) << station.Output();
  EXPECT_EQ(station.SignalAndWait(SIGTERM), 0) << station.Output();
}

}  // namespace
}  // namespace kyv
