#include "source/live/StationMessageFramer.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LiveTestSupport.h"
#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "source/live/StationMessageHeader.h"

namespace kyv {
namespace {

using test::WireMessage;

// Feeds Bytes in pieces of Piece bytes, taking whole messages after each piece.
std::vector<test::TWireMessage> FeedAll(TStationMessageFramer& Framer,
                                        const std::vector<uint8_t>& Bytes, size_t Piece) {
  std::vector<test::TWireMessage> messages;
  size_t at = 0;
  for (;;) {
    TStationMessage message;
    while (Framer.Next(message))
      messages.push_back(
          {message.Type, std::string(message.Payload.begin(), message.Payload.end())});
    if (at == Bytes.size()) return messages;
    const size_t n = std::min(Piece, Bytes.size() - at);
    const size_t taken = Framer.Feed(std::span<const uint8_t>(Bytes.data() + at, n));
    EXPECT_GT(taken, 0u);
    at += taken;
  }
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> Parts) {
  std::vector<uint8_t> all;
  for (const auto& part : Parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(StationMessageHeader, IsLittleEndianWithReservedCleared) {
  uint8_t bytes[8];
  std::memset(bytes, 0xEE, sizeof bytes);
  TStationMessageHeader head{};
  head.MessageType = mtScript;
  head.Reserved[0] = 9;  // a sender writes zero whatever the struct holds
  head.Length = 0x01020304;
  head.Write(bytes);
  const uint8_t expected[8] = {3, 0, 0, 0, 4, 3, 2, 1};
  EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);
  bytes[1] = 0x7F;  // a receiver ignores what it finds there
  const TStationMessageHeader read = TStationMessageHeader::Read(bytes);
  EXPECT_EQ(read.MessageType, mtScript);
  EXPECT_EQ(read.Length, 0x01020304u);
}

TEST(StationMessageFramer, MessagesComeOutWholeHoweverTheBytesArrive) {
  const std::vector<uint8_t> stream =
      Join({WireMessage(mtIndex, "index"), WireMessage(mtString, ""), WireMessage(77, "odd"),
            WireMessage(mtFrame, std::string(3000, 'f')), WireMessage(mtScript, "s")});
  for (const size_t piece : {size_t{1}, size_t{7}, size_t{9}, size_t{4096}, stream.size()}) {
    TStationMessageFramer framer(TStationMessageFramer::kMaxLength, 64);
    const auto messages = FeedAll(framer, stream, piece);
    ASSERT_EQ(messages.size(), 5u) << "pieces of " << piece;
    EXPECT_EQ(messages[0].Type, mtIndex);
    EXPECT_EQ(messages[0].Payload, "index");
    EXPECT_EQ(messages[1].Payload, "");  // an empty text is a message too
    EXPECT_EQ(messages[2].Type, 77);     // unknown kinds are handed on for the caller to skip
    EXPECT_EQ(messages[3].Payload, std::string(3000, 'f'));
    EXPECT_EQ(messages[4].Payload, "s");
    EXPECT_EQ(framer.Held(), 0u);
  }
}

TEST(StationMessageFramer, GrowsToExactlyTheLargestMessageAndNeverShrinks) {
  TStationMessageFramer framer(TStationMessageFramer::kMaxLength, 1024);
  const std::vector<uint8_t> big = WireMessage(mtFrame, std::string(100'000, 'x'));
  EXPECT_EQ(FeedAll(framer, big, 5000).size(), 1u);
  EXPECT_EQ(framer.Capacity(), 100'008u);
  EXPECT_EQ(FeedAll(framer, WireMessage(mtString, "small"), 100).size(), 1u);
  EXPECT_EQ(framer.Capacity(), 100'008u);
}

TEST(StationMessageFramer, ReceivesAtMostOneChunkAtATime) {
  TStationMessageFramer framer;
  EXPECT_EQ(framer.Capacity(), TStationMessageFramer::kInitialSize);
  EXPECT_EQ(framer.ReceiveSpace().size(), TStationMessageFramer::kReceiveChunk);
}

TEST(StationMessageFramer, RefusesAHeadAboveTheBoundBeforeAllocating) {
  TStationMessageFramer framer(1000, 64);
  const std::vector<uint8_t> atBound = WireMessage(mtFrame, std::string(1000, 'a'));
  EXPECT_EQ(FeedAll(framer, atBound, 300).size(), 1u);

  uint8_t head[8];
  TStationMessageHeader over{};
  over.MessageType = mtFrame;
  over.Length = 1001;
  over.Write(head);
  framer.Feed(head);
  TStationMessage message;
  try {
    framer.Next(message);
    FAIL() << "a head above the bound was taken";
  } catch (const EKyvError& e) {
    ASSERT_TRUE(e.Code().has_value());
    EXPECT_EQ(*e.Code(), reNetwork);
  }
  EXPECT_THROW(framer.ReceiveSpace(), EKyvError);
  EXPECT_EQ(framer.Capacity(), 1008u);  // grown for the message at the bound only

  // The real bound: 64 MiB is taken, one byte more is not, and nothing is allocated for it.
  TStationMessageFramer real;
  over.Length = TStationMessageFramer::kMaxLength + 1;
  over.Write(head);
  real.Feed(head);
  EXPECT_THROW(real.Next(message), EKyvError);
  EXPECT_EQ(real.Capacity(), TStationMessageFramer::kInitialSize);
  real.Clear();
  over.Length = 0xFFFFFFFF;
  over.Write(head);
  real.Feed(head);
  EXPECT_THROW(real.ReceiveSpace(), EKyvError);
}

TEST(StationMessageFramer, ClearForgetsAPartialMessage) {
  TStationMessageFramer framer(TStationMessageFramer::kMaxLength, 64);
  const std::vector<uint8_t> bytes = WireMessage(mtString, "abcdef");
  framer.Feed(std::span<const uint8_t>(bytes.data(), 10));
  EXPECT_EQ(framer.Held(), 10u);
  framer.Clear();
  EXPECT_EQ(framer.Held(), 0u);
  const auto messages = FeedAll(framer, WireMessage(mtString, "next"), 3);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Payload, "next");
}

}  // namespace
}  // namespace kyv
