// Multicast over a real socket, inside a private network namespace that each test makes and
// removes; skipped with the reason where namespaces are not permitted.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MulticastTestSupport.h"
#include "NetNamespace.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "source/multicast/KyvMulticastStream.h"
#include "source/multicast/MulticastSender.h"
#include "source/multicast/NetworkInterfaces.h"
#include "source/multicast/ReceiveThread.h"
#include "support/TempFolder.h"
#include "writer/PayloadEncoder.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

using test::Datagram;
using test::kGuard;
using test::NextWindowMessage;
using test::Pattern;
using test::RecordBytes;
using test::TNetNamespace;
using test::WaitUntil;

constexpr char kGroup[] = "239.77.0.1";
constexpr uint16_t kPort = 47011;

#define SKIP_WITHOUT(ns) \
  if (!(ns).Available()) GTEST_SKIP() << "multicast test skipped: " << (ns).Reason()

// Keeps every message it receives.
class TCollectingReceiver : public TReceiveThread {
 public:
  std::vector<std::vector<uint8_t>> Messages() {
    std::lock_guard lock(FLock);
    return FMessages;
  }
  void Forget() {
    std::lock_guard lock(FLock);
    FMessages.clear();
  }
  bool Last(const std::vector<uint8_t>& Message) {
    std::lock_guard lock(FLock);
    return !FMessages.empty() && FMessages.back() == Message;
  }

 protected:
  void DoReceive(const uint8_t* Data, size_t Size) override {
    std::lock_guard lock(FLock);
    FMessages.emplace_back(Data, Data + Size);
  }

 private:
  std::mutex FLock;
  std::vector<std::vector<uint8_t>> FMessages;  // guarded by FLock
};

TThreadPtr<TCollectingReceiver> MakeReceiver(const std::string& Group,
                                             const std::string& Interface) {
  auto receiver = TThread::Create<TCollectingReceiver>();
  receiver->SetGroupAddress(Group);
  receiver->SetPort(kPort);
  receiver->SetInterfaceAddress(Interface);
  return receiver;
}

// A receiver's socket is set up after its start returns: sends a probe until the receiver hears,
// then a fence, and forgets everything up to the fence.
bool Hear(TMulticastSender& Sender, TCollectingReceiver& Receiver) {
  const std::vector<uint8_t> probe{0xEE};
  const std::vector<uint8_t> fence{0xFF, 0xFF};
  const auto deadline = std::chrono::steady_clock::now() + kGuard;
  const uint64_t before = Receiver.MessagesReceived();
  while (Receiver.MessagesReceived() == before) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Sender.Send(probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Sender.Send(fence);
  if (!WaitUntil([&] { return Receiver.Last(fence); })) return false;
  Receiver.Forget();
  return true;
}

// Sends raw datagrams to the group, as a faulty or hostile sender might.
class TRawSender {
 public:
  TRawSender() : FSocket(::socket(AF_INET, SOCK_DGRAM, 0)) {
    FGroup.sin_family = AF_INET;
    FGroup.sin_port = htons(kPort);
    inet_pton(AF_INET, kGroup, &FGroup.sin_addr);
  }
  ~TRawSender() { ::close(FSocket); }
  bool Send(const std::vector<uint8_t>& Bytes) {
    return ::sendto(FSocket, Bytes.data(), Bytes.size(), 0,
                    reinterpret_cast<const sockaddr*>(&FGroup),
                    sizeof FGroup) == static_cast<ssize_t>(Bytes.size());
  }

 private:
  int FSocket;
  sockaddr_in FGroup{};
};

TEST(MulticastNet, ReceiverPutsMessagesTogetherAndRestarts) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([] {
    auto receiver = MakeReceiver(kGroup, "127.0.0.1");
    receiver->StartReceiving();
    EXPECT_TRUE(receiver->Running());
    TMulticastSender sender(kGroup, kPort, "127.0.0.1");
    ASSERT_TRUE(Hear(sender, *receiver));

    const std::vector<std::vector<uint8_t>> sent = {
        Pattern(5), Pattern(300'000, 1), {}, Pattern(kMaxPacketPayload, 2)};
    for (const auto& message : sent) sender.Send(message);
    ASSERT_TRUE(WaitUntil([&] { return receiver->Messages().size() == sent.size(); }));
    EXPECT_EQ(receiver->Messages(), sent);
    EXPECT_EQ(receiver->PacketsDropped(), 0u);
    EXPECT_EQ(receiver->MessagesAbandoned(), 0u);

    // Stopped, then started again: a fresh socket hears the group again.
    receiver->StopReceiving();
    EXPECT_FALSE(receiver->Running());
    receiver->StartReceiving();
    ASSERT_TRUE(Hear(sender, *receiver));
    sender.Send(Pattern(70'000, 3));
    ASSERT_TRUE(WaitUntil([&] { return receiver->Messages().size() == 1; }));
    EXPECT_EQ(receiver->Messages()[0], Pattern(70'000, 3));
  }));
}

// Whether this thread's network namespace has joined Group on some interface, as the kernel
// lists it.
bool Joined(const char* Group) {
  in_addr address{};
  inet_pton(AF_INET, Group, &address);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", address.s_addr);
  std::ifstream igmp("/proc/thread-self/net/igmp");
  const std::string text((std::istreambuf_iterator<char>(igmp)), {});
  return text.find(hex) != std::string::npos;
}

TEST(MulticastNet, AStoppedReceiverLeavesTheGroup) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([] {
    auto receiver = MakeReceiver(kGroup, "127.0.0.1");
    EXPECT_FALSE(Joined(kGroup));
    receiver->StartReceiving();
    TMulticastSender sender(kGroup, kPort, "127.0.0.1");
    ASSERT_TRUE(Hear(sender, *receiver));
    EXPECT_TRUE(Joined(kGroup));
    receiver->StopReceiving();
    EXPECT_FALSE(Joined(kGroup));
    // Started again it joins again, and its end leaves as well.
    receiver->StartReceiving();
    ASSERT_TRUE(Hear(sender, *receiver));
    EXPECT_TRUE(Joined(kGroup));
    receiver.reset();
    EXPECT_FALSE(Joined(kGroup));
  }));
}

TEST(MulticastNet, LossesGoToTheDebuggerOutput) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([] {
    auto receiver = MakeReceiver(kGroup, "127.0.0.1");
    receiver->StartReceiving();
    TMulticastSender sender(kGroup, kPort, "127.0.0.1");
    ASSERT_TRUE(Hear(sender, *receiver));

    testing::internal::CaptureStderr();
    TRawSender raw;
    const uint32_t size = 2 * kMaxPacketPayload + 10;
    // Packet 1 of 3 never comes; a datagram too long for the receive buffer; then a sound one.
    EXPECT_TRUE(raw.Send(Datagram(100, size, 0, 3, Pattern(kMaxPacketPayload))));
    EXPECT_TRUE(raw.Send(Datagram(100, size, 2, 3, Pattern(10))));
    EXPECT_TRUE(raw.Send(Datagram(101, 3, 0, 1, {1, 2, 3})));
    EXPECT_TRUE(raw.Send(Datagram(102, 20469, 0, 1, Pattern(kMaxPacketPayload + 1))));
    EXPECT_TRUE(raw.Send(Datagram(103, 1, 0, 1, {9})));
    const bool arrived = WaitUntil([&] { return receiver->Last({9}); });
    const std::string texts = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(receiver->Messages(), (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {9}}));
    EXPECT_EQ(receiver->PacketsDropped(), 2u);
    EXPECT_EQ(receiver->MessagesAbandoned(), 1u);
    const size_t packet = texts.find("Receiver.dll -> Loss data");
    const size_t message = texts.find("Receiver.dll -> Loss Data");
    EXPECT_NE(packet, std::string::npos) << texts;
    EXPECT_NE(message, std::string::npos) << texts;
    EXPECT_LT(packet, message);
  }));
}

TEST(MulticastNet, ReceiversHearOnlyTheirOwnGroup) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([] {
    auto first = MakeReceiver("239.77.0.1", "127.0.0.1");
    auto second = MakeReceiver("239.77.0.2", "127.0.0.1");
    first->StartReceiving();
    second->StartReceiving();
    TMulticastSender toFirst("239.77.0.1", kPort, "127.0.0.1");
    TMulticastSender toSecond("239.77.0.2", kPort, "");
    ASSERT_TRUE(Hear(toFirst, *first));
    ASSERT_TRUE(Hear(toSecond, *second));
    toFirst.Send(std::vector<uint8_t>{1});
    toSecond.Send(std::vector<uint8_t>{2});
    ASSERT_TRUE(WaitUntil([&] { return first->Last({1}) && second->Last({2}); }));
    EXPECT_EQ(first->Messages().size(), 1u);
    EXPECT_EQ(second->Messages().size(), 1u);
  }));
}

TEST(MulticastNet, FailedJoinLeavesTheReceiverIdleUntilARetry) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([] {
    auto receiver = MakeReceiver(kGroup, "10.9.9.9");
    receiver->StartReceiving();
    ASSERT_TRUE(WaitUntil([&] { return !receiver->SetupError().empty(); }));
    EXPECT_EQ(receiver->SetupError().rfind("加入多播组失败：", 0), 0u) << receiver->SetupError();
    EXPECT_FALSE(receiver->Running());
    receiver->StopReceiving();

    receiver->SetInterfaceAddress("127.0.0.1");
    receiver->StartReceiving();
    TMulticastSender sender(kGroup, kPort, "127.0.0.1");
    ASSERT_TRUE(Hear(sender, *receiver));
    EXPECT_EQ(receiver->SetupError(), "");
  }));
}

std::vector<uint8_t> KeyFrame(uint32_t Time, int Width, int Height) {
  return RecordBytes(Time, ftKeyFrame, EncodePayload(TPixels24(Width, Height, 0x00224466), ckZlib),
                     ckZlib);
}

// Sends markers, which an opening stream drops, until every client has heard one.
bool HearAll(TMulticastSender& Sender, TKyvMulticastStream& Stream) {
  const auto probe = RecordBytes(1, ftMarker, Pattern(4));
  const auto deadline = std::chrono::steady_clock::now() + kGuard;
  for (;;) {
    bool all = true;
    for (size_t i = 0; i < Stream.ClientCount(); ++i)
      all = all && Stream.Client(i).MessagesReceived() > 0;
    if (all) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    Sender.Send(probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class MulticastStreamNet : public ::testing::Test {
 protected:
  MulticastStreamNet() {
    FContext.Wnd = FWindow.Handle();
    WriteSmsFile(FSms, kGroup, kPort);
  }

  TDecoderUsage FDecoder;
  test::TTempFolder FFolder;
  std::filesystem::path FSms = FFolder / "live.sms";
  TPlayContext FContext;
  TWindow FWindow;
};

TEST_F(MulticastStreamNet, TwoReceiversOfOneGroupBothStoreEveryRecord) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  ASSERT_TRUE(ns.Run([&] {
    auto stream = TThread::Create<TKyvMulticastStream>(
        FContext, std::vector<std::string>{"127.0.0.1", "127.0.0.1"});
    stream->Open(FSms.string());
    TMulticastSender sender(kGroup, kPort, "");
    ASSERT_TRUE(HearAll(sender, *stream));
    sender.Send(RecordBytes(5, ftCopyRect, Pattern(100)));  // before the key frame: dropped
    sender.Send(KeyFrame(0, 800, 600));
    for (uint32_t time = 10; time <= 30; time += 10)
      sender.Send(RecordBytes(time, ftCopyRect, Pattern(50'000, static_cast<uint8_t>(time))));
    ASSERT_TRUE(WaitUntil([&] { return FContext.Frames.Count() == 8; }));
    std::map<uint32_t, int> copies;
    {
      TFramesBuffer::TGuard guard(FContext.Frames);
      for (int32_t i = 0; i < FContext.Frames.Count(); ++i)
        ++copies[FContext.Frames.Items(i).Time()];
    }
    EXPECT_EQ(copies, (std::map<uint32_t, int>{{0, 2}, {10, 2}, {20, 2}, {30, 2}}));
    const TMessage opened = NextWindowMessage(FWindow);
    EXPECT_EQ(opened.Msg, UM_OPENED);
    EXPECT_EQ(opened.WParam, 0u);
    EXPECT_EQ(FContext.Header.Width, 800);
    EXPECT_EQ(FContext.Header.Height, 600);
    EXPECT_EQ(FContext.Index.Count(), 1u);
    TFramesBuffer::TGuard guard(FContext.Frames);
    const auto payload = FContext.Frames.Items(FContext.Frames.Count() - 1).Data();
    EXPECT_EQ(std::vector<uint8_t>(payload.begin(), payload.end()), Pattern(50'000, 30));
  }));
}

TEST(MulticastNet, PlatformListOfANamespace) {
  TNetNamespace ns;
  SKIP_WITHOUT(ns);
  // Two interfaces of the namespace's own, the ends of a virtual cable.
  if (!ns.Ip({"link", "add", "kyva", "type", "veth", "peer", "name", "kyvb"}))
    GTEST_SKIP() << "virtual Ethernet interfaces are not available here";
  ASSERT_TRUE(ns.Ip({"addr", "add", "10.1.0.1/24", "dev", "kyva"}));
  ASSERT_TRUE(ns.Ip({"addr", "add", "10.1.0.2/24", "dev", "kyva"}));
  ASSERT_TRUE(ns.Ip({"addr", "add", "10.2.0.1/24", "dev", "kyvb"}));
  ASSERT_TRUE(ns.Run([] {
    ::unsetenv(kMulticastInterfacesVariable);
    std::vector<std::string> listed = ListInterfaces();
    EXPECT_EQ(listed, SelectInterfaces(PlatformInterfaceAddresses()));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"10.1.0.1", "10.2.0.1"}));
  }));
}

}  // namespace
}  // namespace kyv
