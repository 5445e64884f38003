#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/Limits.h"

namespace kyv {

#pragma pack(push, 1)

// The head of every datagram of a multicast group; the payload, the next piece of the message,
// follows it. All integers are little-endian on the wire; Read and Write convert explicitly, so
// the struct is only the layout.
struct alignas(4) TMulticastPacketHeader {
  static constexpr size_t kSize = 12;

  uint32_t MessageId;    // number of the message this packet belongs to
  uint32_t MessageSize;  // payload bytes of the whole message
  uint16_t PacketIndex;  // position of this packet within its message, from 0
  uint16_t PacketCount;  // number of packets of the message

  static TMulticastPacketHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
};

#pragma pack(pop)

static_assert(sizeof(TMulticastPacketHeader) == 12);
static_assert(offsetof(TMulticastPacketHeader, MessageId) == 0);
static_assert(offsetof(TMulticastPacketHeader, MessageSize) == 4);
static_assert(offsetof(TMulticastPacketHeader, PacketIndex) == 8);
static_assert(offsetof(TMulticastPacketHeader, PacketCount) == 10);

// The largest datagram of a group, head included, and the payload it can carry.
inline constexpr size_t kMaxDatagramSize = 20480;
inline constexpr size_t kMaxPacketPayload = kMaxDatagramSize - TMulticastPacketHeader::kSize;

// The largest message a receiver puts together; a larger one is a loss. It keeps a hostile or
// damaged head from making a receiver allocate gigabytes.
inline constexpr uint32_t kMaxMessageSize = static_cast<uint32_t>(kMaxRecordBytes);

}  // namespace kyv
