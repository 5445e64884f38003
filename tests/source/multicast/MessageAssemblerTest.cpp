#include "source/multicast/MessageAssembler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MulticastTestSupport.h"

namespace kyv {
namespace {

using test::Datagram;
using test::Pattern;

// What a sequence of datagrams produced: the messages delivered and the loss texts, in order.
struct TOutcome {
  std::vector<std::vector<uint8_t>> Messages;
  std::vector<std::string> Texts;
};

TOutcome FeedAll(TMessageAssembler& Assembler, const std::vector<std::vector<uint8_t>>& Datagrams) {
  TOutcome outcome;
  for (const auto& datagram : Datagrams) {
    const TAssembleResult result = Assembler.Feed(datagram);
    if (result.MessageAbandoned) outcome.Texts.push_back(kLossMessageText);
    if (result.PacketDropped) outcome.Texts.push_back(kLossPacketText);
    if (result.Complete)
      outcome.Messages.emplace_back(result.Message.begin(), result.Message.end());
  }
  return outcome;
}

// The datagrams a sender makes of Message, with message number Id.
std::vector<std::vector<uint8_t>> Split(uint32_t Id, const std::vector<uint8_t>& Message) {
  const size_t count =
      std::max<size_t>(1, (Message.size() + kMaxPacketPayload - 1) / kMaxPacketPayload);
  std::vector<std::vector<uint8_t>> datagrams;
  for (size_t i = 0; i < count; ++i) {
    const size_t start = i * kMaxPacketPayload;
    const size_t end = std::min(Message.size(), start + kMaxPacketPayload);
    datagrams.push_back(Datagram(Id, static_cast<uint32_t>(Message.size()),
                                 static_cast<uint16_t>(i), static_cast<uint16_t>(count),
                                 {Message.begin() + start, Message.begin() + end}));
  }
  return datagrams;
}

TEST(MulticastPacketHeader, ReadsAndWritesLittleEndian) {
  const std::vector<uint8_t> bytes = Datagram(0x04030201, 0x08070605, 0x0A09, 0x0C0B);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  const TMulticastPacketHeader head = TMulticastPacketHeader::Read(bytes.data());
  EXPECT_EQ(head.MessageId, 0x04030201u);
  EXPECT_EQ(head.MessageSize, 0x08070605u);
  EXPECT_EQ(head.PacketIndex, 0x0A09);
  EXPECT_EQ(head.PacketCount, 0x0C0B);
}

TEST(MessageAssembler, DeliversMessagesInOrderWhole) {
  TMessageAssembler assembler;
  const std::vector<uint8_t> three = Pattern(2 * kMaxPacketPayload + 100, 1);
  const std::vector<uint8_t> one = Pattern(5, 2);
  auto datagrams = Split(7, three);
  const auto second = Split(8, one);
  datagrams.insert(datagrams.end(), second.begin(), second.end());
  const TOutcome outcome = FeedAll(assembler, datagrams);
  EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{three, one}));
  EXPECT_TRUE(outcome.Texts.empty());
  EXPECT_EQ(assembler.MessagesDelivered(), 2u);
}

TEST(MessageAssembler, LargeMessageGrowsTheBufferAndAnEmptyOneIsDelivered) {
  TMessageAssembler assembler;
  const std::vector<uint8_t> large = Pattern(300'000, 3);
  TOutcome outcome = FeedAll(assembler, Split(1, large));
  ASSERT_EQ(outcome.Messages.size(), 1u);
  EXPECT_EQ(outcome.Messages[0], large);
  EXPECT_GE(assembler.Capacity(), large.size());

  outcome = FeedAll(assembler, {Datagram(2, 0, 0, 1)});
  ASSERT_EQ(outcome.Messages.size(), 1u);
  EXPECT_TRUE(outcome.Messages[0].empty());
  EXPECT_TRUE(outcome.Texts.empty());
}

TEST(MessageAssembler, LostPacketDropsItsMessageWithBothTexts) {
  TMessageAssembler assembler;
  const auto first = Split(1, Pattern(3 * kMaxPacketPayload));
  const std::vector<uint8_t> next = Pattern(10, 9);
  // Packet 1 of 3 is lost: packet 2 is dropped, the next packet 0 gives the message up.
  auto datagrams = std::vector<std::vector<uint8_t>>{first[0], first[2]};
  const auto second = Split(2, next);
  datagrams.insert(datagrams.end(), second.begin(), second.end());
  const TOutcome outcome = FeedAll(assembler, datagrams);
  EXPECT_EQ(outcome.Texts,
            (std::vector<std::string>{"Receiver.dll -> Loss data", "Receiver.dll -> Loss Data"}));
  EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{next}));
  EXPECT_EQ(assembler.MessagesAbandoned(), 1u);
  EXPECT_EQ(assembler.PacketsDropped(), 1u);
}

TEST(MessageAssembler, JoiningMidMessageDropsItsPacketsAndAbandonsNothing) {
  TMessageAssembler assembler;
  const auto late = Split(4, Pattern(3 * kMaxPacketPayload));
  const TOutcome outcome = FeedAll(assembler, {late[1], late[2], Datagram(5, 1, 0, 1, {42})});
  EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText, kLossPacketText}));
  EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{{42}}));
}

TEST(MessageAssembler, ReorderedAndDuplicatedPackets) {
  const std::vector<uint8_t> message = Pattern(2 * kMaxPacketPayload + 1);
  const auto packets = Split(1, message);
  {
    // Packet 2 before packet 1 is dropped; packet 1 still fits, but the message never completes.
    TMessageAssembler assembler;
    TOutcome outcome = FeedAll(assembler, {packets[0], packets[2], packets[1]});
    EXPECT_TRUE(outcome.Messages.empty());
    EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText}));
    outcome = FeedAll(assembler, {Datagram(2, 0, 0, 1)});
    EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossMessageText}));
  }
  {
    // A repeated middle packet is dropped; the message still completes.
    TMessageAssembler assembler;
    const TOutcome outcome = FeedAll(assembler, {packets[0], packets[1], packets[1], packets[2]});
    EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{message}));
    EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText}));
  }
  {
    // A repeated last packet comes after completion and belongs to nothing.
    TMessageAssembler assembler;
    const TOutcome outcome = FeedAll(assembler, {packets[0], packets[1], packets[2], packets[2]});
    EXPECT_EQ(outcome.Messages.size(), 1u);
    EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText}));
  }
}

TEST(MessageAssembler, InterleavedMessagesLoseTheInterruptedOne) {
  TMessageAssembler assembler;
  const auto a = Split(1, Pattern(2 * kMaxPacketPayload, 1));
  const auto b = Split(2, Pattern(2 * kMaxPacketPayload, 2));
  const TOutcome outcome = FeedAll(assembler, {a[0], b[0], a[1], b[1]});
  // b's start gives a up, a's second packet then belongs to no message being collected, and b
  // completes because its own packets arrived in order.
  EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossMessageText, kLossPacketText}));
  ASSERT_EQ(outcome.Messages.size(), 1u);
  EXPECT_EQ(outcome.Messages[0], Pattern(2 * kMaxPacketPayload, 2));
}

TEST(MessageAssembler, PacketRunningPastMessageSizeIsALossNotAnOverrun) {
  TMessageAssembler assembler;
  // Two packets that announce 10 bytes but carry 8 each: the second would run past the end.
  const TOutcome outcome =
      FeedAll(assembler, {Datagram(1, 10, 0, 2, Pattern(8)), Datagram(1, 10, 1, 2, Pattern(8)),
                          Datagram(2, 3, 0, 1, {1, 2, 3})});
  EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText, kLossMessageText}));
  EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{{1, 2, 3}}));
}

TEST(MessageAssembler, PacketsThatFallShortOfMessageSizeAreNeverDelivered) {
  TMessageAssembler assembler;
  // The last packet arrives with 4 of the 10 bytes announced: the message is given up at once,
  // and the next one starts without a second text.
  const TOutcome outcome =
      FeedAll(assembler, {Datagram(1, 10, 0, 2, Pattern(4)), Datagram(1, 10, 1, 2, Pattern(2)),
                          Datagram(2, 1, 0, 1, {7})});
  EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossMessageText}));
  EXPECT_EQ(outcome.Messages, (std::vector<std::vector<uint8_t>>{{7}}));
}

TEST(MessageAssembler, RefusesImpossibleHeadsWithoutAllocating) {
  TMessageAssembler assembler;
  const TOutcome outcome =
      FeedAll(assembler, {
                             Datagram(1, kMaxMessageSize + 1, 0, 65535),  // above the bound
                             Datagram(2, 1000, 0, 0, Pattern(10)),        // no packets
                             Datagram(3, kMaxMessageSize, 0, 1),  // more than one packet holds
                             Datagram(3, kMaxMessageSize, 1, 1),  // and the rest of it
                             {1, 2, 3},                           // shorter than a head
                         });
  EXPECT_TRUE(outcome.Messages.empty());
  EXPECT_EQ(outcome.Texts, std::vector<std::string>(5, kLossPacketText));
  EXPECT_EQ(assembler.Capacity(), kMaxDatagramSize);
  EXPECT_TRUE(assembler.RefuseDatagram().PacketDropped);
  EXPECT_TRUE(
      assembler.Feed(Datagram(4, 20469, 0, 1, Pattern(kMaxPacketPayload + 1))).PacketDropped);
  // A message in one datagram of the largest size still comes through.
  const std::vector<uint8_t> full = Pattern(kMaxPacketPayload);
  EXPECT_EQ(FeedAll(assembler, {Datagram(5, 20468, 0, 1, full)}).Messages,
            (std::vector<std::vector<uint8_t>>{full}));
}

TEST(MessageAssembler, PacketOfAnotherShapeDoesNotJoinTheMessage) {
  TMessageAssembler assembler;
  // Same id and index as expected, but another size: a packet of some other message.
  const TOutcome outcome =
      FeedAll(assembler, {Datagram(1, 16, 0, 2, Pattern(8)), Datagram(1, 17, 1, 2, Pattern(9)),
                          Datagram(1, 16, 1, 2, Pattern(8, 8))});
  EXPECT_EQ(outcome.Texts, (std::vector<std::string>{kLossPacketText}));
  ASSERT_EQ(outcome.Messages.size(), 1u);
  EXPECT_EQ(outcome.Messages[0].size(), 16u);
}

TEST(MessageAssembler, MemoryFollowsWhatArrivesNotWhatAHeadAnnounces) {
  TMessageAssembler assembler;
  const uint16_t packets = static_cast<uint16_t>(kMaxMessageSize / kMaxPacketPayload + 1);
  const std::vector<uint8_t> part = Pattern(kMaxPacketPayload);
  // A head that announces the largest message and sends three packets of it.
  std::vector<std::vector<uint8_t>> datagrams;
  for (uint16_t i = 0; i < 3; ++i)
    datagrams.push_back(Datagram(7, kMaxMessageSize, i, packets, part));
  EXPECT_TRUE(FeedAll(assembler, datagrams).Messages.empty());
  EXPECT_LE(assembler.Capacity(), 4 * kMaxDatagramSize);
  // A message over several packets still comes through whole after growing.
  std::vector<uint8_t> whole;
  datagrams.clear();
  for (uint16_t i = 0; i < 5; ++i) {
    const std::vector<uint8_t> piece = Pattern(kMaxPacketPayload, static_cast<uint8_t>(i));
    whole.insert(whole.end(), piece.begin(), piece.end());
    datagrams.push_back(Datagram(8, static_cast<uint32_t>(5 * kMaxPacketPayload), i, 5, piece));
  }
  const TOutcome outcome = FeedAll(assembler, datagrams);
  ASSERT_EQ(outcome.Messages.size(), 1u);
  EXPECT_EQ(outcome.Messages[0], whole);
}

}  // namespace
}  // namespace kyv
