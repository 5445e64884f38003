#include "source/multicast/MulticastPacketHeader.h"

#include "platform/LittleEndian.h"

namespace kyv {

TMulticastPacketHeader TMulticastPacketHeader::Read(const uint8_t* p) noexcept {
  TMulticastPacketHeader head;
  head.MessageId = LoadLE<uint32_t>(p + 0);
  head.MessageSize = LoadLE<uint32_t>(p + 4);
  head.PacketIndex = LoadLE<uint16_t>(p + 8);
  head.PacketCount = LoadLE<uint16_t>(p + 10);
  return head;
}

void TMulticastPacketHeader::Write(uint8_t* p) const noexcept {
  StoreLE<uint32_t>(p + 0, MessageId);
  StoreLE<uint32_t>(p + 4, MessageSize);
  StoreLE<uint16_t>(p + 8, PacketIndex);
  StoreLE<uint16_t>(p + 10, PacketCount);
}

}  // namespace kyv
