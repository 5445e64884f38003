#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// What a message between a broadcasting station and a player carries.
enum TStationMessageType : uint8_t {
  mtFrame = 0,   // station to player: one frame record
  mtIndex = 1,   // station to player: an index text
  mtString = 2,  // both ways: a plain text; the only kind a player sends
  mtScript = 3,  // station to player: a script text
};

// The 8-byte head of every message on a station connection, followed by Length payload bytes.
// Integers are little-endian on the wire; Read and Write convert, the struct is only the layout.
#pragma pack(push, 1)
struct TStationMessageHeader {
  static constexpr size_t kSize = 8;

  uint8_t MessageType;  // TStationMessageType; a receiver skips other values
  uint8_t Reserved[3];  // ignored by a receiver, zero from a sender
  uint32_t Length;

  static TStationMessageHeader Read(const uint8_t* p) noexcept;
  // Writes the head with Reserved cleared.
  void Write(uint8_t* p) const noexcept;
};
#pragma pack(pop)

static_assert(sizeof(TStationMessageHeader) == 8);
static_assert(offsetof(TStationMessageHeader, MessageType) == 0);
static_assert(offsetof(TStationMessageHeader, Reserved) == 1);
static_assert(offsetof(TStationMessageHeader, Length) == 4);

}  // namespace kyv
