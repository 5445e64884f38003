#pragma once

#include <cstddef>
#include <cstdint>

namespace kyv {

// The records of a recording file and of the frame record that every source delivers. All
// integers are little-endian; Read/Write convert explicitly, so the structs are only the layout.

inline constexpr uint8_t kKyvMagic[2] = {0x41, 0x56};
inline constexpr int16_t kKyvVersion0 = 0;
inline constexpr int16_t kKyvVersion100 = 0x0100;
inline constexpr int16_t kKyvVersion101 = 0x0101;

enum TFrameType : int16_t {
  ftXorRect = 0,
  ftKeyFrame = 1,
  ftCursor = 2,
  ftCopyRect = 3,
  ftMarker = 4,
};

enum TCompression : int16_t {
  ckNone = 0,
  ckJpeg = 1,
  ckLzo = 2,
  ckZlib = 3,
  ckBitmap58 = 4,
};

// Wire layouts. Members are packed, so a member at an offset that does not suit its type
// (TFileHeader::IndexOffset) must be copied before it is passed by reference; the structs whose
// members all sit at natural offsets are aligned so that their members can be.
#pragma pack(push, 1)

struct TFileHeader {
  static constexpr size_t kSize = 32;

  uint8_t Magic[2];
  int16_t Version;
  uint16_t Width;
  uint16_t Height;
  uint32_t Duration;     // Time of the last frame record; 0 for live sources
  int64_t IndexOffset;   // length of the frame area, which starts at byte 32
  uint8_t Reserved[12];

  static TFileHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
  bool VersionKnown() const noexcept;
  size_t IndexEntrySize() const noexcept { return Version == kKyvVersion101 ? 16 : 8; }
};

struct alignas(4) TIndexHeader {
  static constexpr size_t kSize = 16;

  uint32_t Count;
  uint8_t Reserved[12];  // all zero in a sound index

  static TIndexHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
  bool ReservedClear() const noexcept;
};

// Index entry of versions 0 and 0x0100.
struct alignas(4) TIndexEntry8 {
  static constexpr size_t kSize = 8;

  uint32_t Time;
  uint32_t Offset;  // from the start of the frame area
};

// Index entry of version 0x0101.
struct alignas(8) TIndexEntry16 {
  static constexpr size_t kSize = 16;

  uint32_t Time;
  uint8_t Unused[4];
  uint64_t Offset;  // from the start of the frame area
};

struct alignas(4) TFrameHeader {
  static constexpr size_t kSize = 28;

  uint32_t Time;
  uint16_t Left;
  uint16_t Top;
  int16_t FrameType;    // TFrameType; other values are passed over
  int16_t Compression;  // TCompression, passed unchanged to the decoder
  uint32_t DataSize;
  uint16_t MouseX;  // with MouseY, (0, 0) leaves the cursor where it is
  uint16_t MouseY;
  uint8_t Reserved[8];

  static TFrameHeader Read(const uint8_t* p) noexcept;
  void Write(uint8_t* p) const noexcept;
  uint64_t RecordSize() const noexcept { return kSize + static_cast<uint64_t>(DataSize); }
};

#pragma pack(pop)

// An index entry of either layout, as the player uses it.
struct TIndexEntry {
  uint32_t Time;
  uint64_t Offset;

  // Reads the entry of the given file version at p (8 or 16 bytes).
  static TIndexEntry Read(const uint8_t* p, int16_t version) noexcept;
  void Write(uint8_t* p, int16_t version) const noexcept;
};

static_assert(sizeof(TFileHeader) == 32);
static_assert(offsetof(TFileHeader, Version) == 2);
static_assert(offsetof(TFileHeader, Width) == 4);
static_assert(offsetof(TFileHeader, Height) == 6);
static_assert(offsetof(TFileHeader, Duration) == 8);
static_assert(offsetof(TFileHeader, IndexOffset) == 12);
static_assert(offsetof(TFileHeader, Reserved) == 20);

static_assert(sizeof(TIndexHeader) == 16);
static_assert(offsetof(TIndexHeader, Reserved) == 4);

static_assert(sizeof(TIndexEntry8) == 8);
static_assert(offsetof(TIndexEntry8, Offset) == 4);
static_assert(sizeof(TIndexEntry16) == 16);
static_assert(offsetof(TIndexEntry16, Offset) == 8);

static_assert(sizeof(TFrameHeader) == 28);
static_assert(offsetof(TFrameHeader, Left) == 4);
static_assert(offsetof(TFrameHeader, Top) == 6);
static_assert(offsetof(TFrameHeader, FrameType) == 8);
static_assert(offsetof(TFrameHeader, Compression) == 10);
static_assert(offsetof(TFrameHeader, DataSize) == 12);
static_assert(offsetof(TFrameHeader, MouseX) == 16);
static_assert(offsetof(TFrameHeader, MouseY) == 18);
static_assert(offsetof(TFrameHeader, Reserved) == 20);

}  // namespace kyv
