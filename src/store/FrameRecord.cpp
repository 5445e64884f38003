#include "store/FrameRecord.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "platform/Errors.h"
#include "platform/LittleEndian.h"

namespace kyv {

std::unique_ptr<uint8_t[]> TFrameRecord::NewBlock(uint64_t size) {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EKyvError("Out of memory for a frame record of " + std::to_string(size) + " bytes");
  }
}

TFrameRecord TFrameRecord::Make(const TFrameHeader& Header, std::span<const uint8_t> Payload) {
  if (Payload.size() != Header.DataSize)
    throw EKyvError("Frame record payload of " + std::to_string(Payload.size()) +
                    " bytes for a DataSize of " + std::to_string(Header.DataSize));
  TFrameRecord record = Allocate(Header);
  if (!Payload.empty()) std::memcpy(record.Data().data(), Payload.data(), Payload.size());
  return record;
}

TFrameRecord TFrameRecord::Allocate(const TFrameHeader& Header) {
  TFrameRecord record(NewBlock(Header.RecordSize()));
  Header.Write(record.FBlock.get());
  return record;
}

TFrameRecord TFrameRecord::FromBytes(std::span<const uint8_t> Bytes) {
  if (Bytes.size() < TFrameHeader::kSize) throw EKyvError("Frame record shorter than its header");
  const uint64_t size = TFrameHeader::Read(Bytes.data()).RecordSize();
  if (Bytes.size() < size) throw EKyvError("Frame record shorter than its stated payload");
  TFrameRecord record(NewBlock(size));
  std::memcpy(record.FBlock.get(), Bytes.data(), static_cast<size_t>(size));
  return record;
}

TFrameRecord TFrameRecord::Adopt(uint8_t* Block) noexcept {
  return TFrameRecord(std::unique_ptr<uint8_t[]>(Block));
}

uint32_t TFrameView::Time() const noexcept {
  return LoadLE<uint32_t>(FBytes + offsetof(TFrameHeader, Time));
}

int16_t TFrameView::FrameType() const noexcept {
  return LoadLE<int16_t>(FBytes + offsetof(TFrameHeader, FrameType));
}

uint32_t TFrameView::DataSize() const noexcept {
  return LoadLE<uint32_t>(FBytes + offsetof(TFrameHeader, DataSize));
}

}  // namespace kyv
