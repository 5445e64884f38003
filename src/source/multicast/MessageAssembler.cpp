#include "source/multicast/MessageAssembler.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kyv {

TMessageAssembler::TMessageAssembler()
    : FBuffer(std::make_unique_for_overwrite<uint8_t[]>(kMaxDatagramSize)),
      FCapacity(kMaxDatagramSize) {}

void TMessageAssembler::Drop(TAssembleResult& Result) {
  Result.PacketDropped = true;
  ++FDropped;
}

void TMessageAssembler::Abandon(TAssembleResult& Result) {
  Result.MessageAbandoned = true;
  FActive = false;
  ++FAbandoned;
}

bool TMessageAssembler::Reserve(size_t Size) {
  if (Size <= FCapacity) return true;
  // Doubling keeps the copies few; never beyond what the message announced.
  const size_t grown = std::min<size_t>(std::max(Size, 2 * FCapacity), FMessageSize);
  try {
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(grown);
    if (FCollected > 0) std::memcpy(buffer.get(), FBuffer.get(), FCollected);
    FBuffer = std::move(buffer);
  } catch (const std::bad_alloc&) {
    // The old block is kept, so that smaller messages still come through.
    return false;
  }
  FCapacity = grown;
  return true;
}

TAssembleResult TMessageAssembler::RefuseDatagram() {
  TAssembleResult result;
  Drop(result);
  return result;
}

TAssembleResult TMessageAssembler::Feed(std::span<const uint8_t> Datagram) {
  TAssembleResult result;
  if (Datagram.size() < TMulticastPacketHeader::kSize || Datagram.size() > kMaxDatagramSize) {
    Drop(result);
    return result;
  }
  const TMulticastPacketHeader head = TMulticastPacketHeader::Read(Datagram.data());
  const std::span<const uint8_t> payload = Datagram.subspan(TMulticastPacketHeader::kSize);

  if (head.PacketIndex == 0) {
    if (FActive) Abandon(result);
    const uint64_t carried = uint64_t{head.PacketCount} * kMaxPacketPayload;
    if (head.PacketCount == 0 || head.MessageSize > kMaxMessageSize || head.MessageSize > carried) {
      Drop(result);
      return result;
    }
    FActive = true;
    FMessageId = head.MessageId;
    FMessageSize = head.MessageSize;
    FPacketCount = head.PacketCount;
    FNextIndex = 0;
    FCollected = 0;
  }

  // A packet whose head disagrees with its message's first packet belongs to another message.
  const bool expected = FActive && head.MessageId == FMessageId && head.PacketIndex == FNextIndex &&
                        head.MessageSize == FMessageSize && head.PacketCount == FPacketCount;
  if (!expected || payload.size() > FMessageSize - FCollected) {
    Drop(result);
    return result;
  }
  // The buffer grows with what arrives, not with what a head announces: a head that claims
  // 64 MiB and sends one packet costs one packet.
  if (!Reserve(FCollected + payload.size())) {
    Abandon(result);
    Drop(result);
    return result;
  }
  if (!payload.empty()) std::memcpy(FBuffer.get() + FCollected, payload.data(), payload.size());
  FCollected += payload.size();
  ++FNextIndex;
  if (FNextIndex < FPacketCount) return result;

  if (FCollected != FMessageSize) {
    Abandon(result);
    return result;
  }
  FActive = false;
  ++FDelivered;
  result.Complete = true;
  result.Message = std::span<const uint8_t>(FBuffer.get(), FMessageSize);
  return result;
}

}  // namespace kyv
