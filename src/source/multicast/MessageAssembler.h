#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "source/multicast/MulticastPacketHeader.h"

namespace kyv {

// The debugger texts of a receiver's losses. They differ in the case of the last word only.
inline constexpr char kLossMessageText[] = "Receiver.dll -> Loss Data";  // message abandoned
inline constexpr char kLossPacketText[] = "Receiver.dll -> Loss data";   // datagram dropped

// What one datagram did.
struct TAssembleResult {
  // An incomplete message was given up: a new one started, or its packets did not add up.
  bool MessageAbandoned = false;
  // This datagram was not used: out of order, of another message, damaged or too long.
  bool PacketDropped = false;
  // A message completed with this datagram; Message then holds it, valid until the next call.
  bool Complete = false;
  std::span<const uint8_t> Message;
};

// Puts the packets of each message back together, in order, from the datagrams of one group as
// they arrive, and notices what is lost. Any lost, duplicated or reordered packet makes its
// message a loss: nothing is ever delivered that is not exactly the message's MessageSize bytes
// joined from packets 0 to PacketCount - 1.
//
// A message is refused when its head announces more than kMaxMessageSize bytes, no packets, or
// more bytes than its packets can carry; a packet whose payload would run past MessageSize is
// dropped. The buffer grows as packets arrive, up to the largest message received, and never
// shrinks.
//
// Not thread-safe: one receiver thread owns it.
class TMessageAssembler {
 public:
  TMessageAssembler();
  TMessageAssembler(const TMessageAssembler&) = delete;
  TMessageAssembler& operator=(const TMessageAssembler&) = delete;

  // Takes one datagram (head and payload) of any length.
  TAssembleResult Feed(std::span<const uint8_t> Datagram);
  // Counts a datagram that the socket could not hold whole (longer than kMaxDatagramSize).
  TAssembleResult RefuseDatagram();

  uint64_t MessagesDelivered() const noexcept { return FDelivered; }
  uint64_t MessagesAbandoned() const noexcept { return FAbandoned; }
  uint64_t PacketsDropped() const noexcept { return FDropped; }
  size_t Capacity() const noexcept { return FCapacity; }

 private:
  void Drop(TAssembleResult& Result);
  void Abandon(TAssembleResult& Result);
  // Makes room for Size bytes of the current message, keeping those collected; false when the
  // memory cannot be had.
  bool Reserve(size_t Size);

  // The message being put together; FActive is false before the first one, after it completed
  // and after it was given up.
  bool FActive = false;
  uint32_t FMessageId = 0;
  uint32_t FMessageSize = 0;
  uint16_t FPacketCount = 0;
  uint16_t FNextIndex = 0;  // packets taken so far, the index expected next
  size_t FCollected = 0;    // payload bytes joined so far

  std::unique_ptr<uint8_t[]> FBuffer;
  size_t FCapacity = 0;

  uint64_t FDelivered = 0;
  uint64_t FAbandoned = 0;
  uint64_t FDropped = 0;
};

}  // namespace kyv
