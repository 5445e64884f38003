#include "source/live/StationMessageHeader.h"

#include "platform/LittleEndian.h"

namespace kyv {

TStationMessageHeader TStationMessageHeader::Read(const uint8_t* p) noexcept {
  TStationMessageHeader head{};
  head.MessageType = p[0];
  head.Reserved[0] = p[1];
  head.Reserved[1] = p[2];
  head.Reserved[2] = p[3];
  head.Length = LoadLE<uint32_t>(p + offsetof(TStationMessageHeader, Length));
  return head;
}

void TStationMessageHeader::Write(uint8_t* p) const noexcept {
  p[0] = MessageType;
  p[1] = p[2] = p[3] = 0;
  StoreLE<uint32_t>(p + offsetof(TStationMessageHeader, Length), Length);
}

}  // namespace kyv
