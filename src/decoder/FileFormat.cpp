#include "decoder/FileFormat.h"

#include <cstring>

#include "platform/LittleEndian.h"

namespace kyv {

TFileHeader TFileHeader::Read(const uint8_t* p) noexcept {
  TFileHeader h;
  std::memcpy(h.Magic, p, 2);
  h.Version = LoadLE<int16_t>(p + 2);
  h.Width = LoadLE<uint16_t>(p + 4);
  h.Height = LoadLE<uint16_t>(p + 6);
  h.Duration = LoadLE<uint32_t>(p + 8);
  h.IndexOffset = LoadLE<int64_t>(p + 12);
  std::memcpy(h.Reserved, p + 20, sizeof h.Reserved);
  return h;
}

void TFileHeader::Write(uint8_t* p) const noexcept {
  std::memcpy(p, Magic, 2);
  StoreLE(p + 2, Version);
  StoreLE(p + 4, Width);
  StoreLE(p + 6, Height);
  StoreLE(p + 8, Duration);
  StoreLE(p + 12, IndexOffset);
  std::memcpy(p + 20, Reserved, sizeof Reserved);
}

bool TFileHeader::VersionKnown() const noexcept {
  return Version == kKyvVersion0 || Version == kKyvVersion100 || Version == kKyvVersion101;
}

TIndexHeader TIndexHeader::Read(const uint8_t* p) noexcept {
  TIndexHeader h;
  h.Count = LoadLE<uint32_t>(p);
  std::memcpy(h.Reserved, p + 4, sizeof h.Reserved);
  return h;
}

void TIndexHeader::Write(uint8_t* p) const noexcept {
  StoreLE(p, Count);
  std::memcpy(p + 4, Reserved, sizeof Reserved);
}

bool TIndexHeader::ReservedClear() const noexcept {
  // A packed member cannot bind to the references std::begin takes.
  for (size_t i = 0; i < sizeof Reserved; ++i)
    if (Reserved[i] != 0) return false;
  return true;
}

TIndexEntry TIndexEntry::Read(const uint8_t* p, int16_t version) noexcept {
  if (version == kKyvVersion101) return {LoadLE<uint32_t>(p), LoadLE<uint64_t>(p + 8)};
  return {LoadLE<uint32_t>(p), LoadLE<uint32_t>(p + 4)};
}

void TIndexEntry::Write(uint8_t* p, int16_t version) const noexcept {
  StoreLE(p, Time);
  if (version == kKyvVersion101) {
    StoreLE<uint32_t>(p + 4, 0);
    StoreLE(p + 8, Offset);
  } else {
    StoreLE(p + 4, static_cast<uint32_t>(Offset));
  }
}

TFrameHeader TFrameHeader::Read(const uint8_t* p) noexcept {
  TFrameHeader h;
  h.Time = LoadLE<uint32_t>(p);
  h.Left = LoadLE<uint16_t>(p + 4);
  h.Top = LoadLE<uint16_t>(p + 6);
  h.FrameType = LoadLE<int16_t>(p + 8);
  h.Compression = LoadLE<int16_t>(p + 10);
  h.DataSize = LoadLE<uint32_t>(p + 12);
  h.MouseX = LoadLE<uint16_t>(p + 16);
  h.MouseY = LoadLE<uint16_t>(p + 18);
  std::memcpy(h.Reserved, p + 20, sizeof h.Reserved);
  return h;
}

void TFrameHeader::Write(uint8_t* p) const noexcept {
  StoreLE(p, Time);
  StoreLE(p + 4, Left);
  StoreLE(p + 6, Top);
  StoreLE(p + 8, FrameType);
  StoreLE(p + 10, Compression);
  StoreLE(p + 12, DataSize);
  StoreLE(p + 16, MouseX);
  StoreLE(p + 18, MouseY);
  std::memcpy(p + 20, Reserved, sizeof Reserved);
}

}  // namespace kyv
