#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "decoder/FileFormat.h"

namespace kyv {

// A borrowed look at one whole frame record (header, then payload) that someone else holds. It
// is valid as long as the holder keeps the record in place.
class TFrameView {
 public:
  TFrameView() noexcept = default;
  explicit TFrameView(const uint8_t* Bytes) noexcept : FBytes(Bytes) {}

  explicit operator bool() const noexcept { return FBytes != nullptr; }

  // The accessors below need a view of a record.
  TFrameHeader Header() const noexcept { return TFrameHeader::Read(FBytes); }
  uint32_t Time() const noexcept;
  int16_t FrameType() const noexcept;
  bool IsKeyFrame() const noexcept { return FrameType() == ftKeyFrame; }
  uint32_t DataSize() const noexcept;
  // The whole record: 28 + DataSize bytes.
  size_t Size() const noexcept { return TFrameHeader::kSize + DataSize(); }
  const uint8_t* Bytes() const noexcept { return FBytes; }
  std::span<const uint8_t> Data() const noexcept {
    return {FBytes + TFrameHeader::kSize, DataSize()};
  }

 private:
  const uint8_t* FBytes = nullptr;
};

// One frame record in memory: a single heap block holding the 28-byte little-endian header
// followed at once by DataSize payload bytes. The object owns the block; moving it hands the
// block on without copying. Any thread may use a record that it alone holds.
class TFrameRecord {
 public:
  TFrameRecord() noexcept = default;
  TFrameRecord(TFrameRecord&&) noexcept = default;
  TFrameRecord& operator=(TFrameRecord&&) noexcept = default;
  TFrameRecord(const TFrameRecord&) = delete;
  TFrameRecord& operator=(const TFrameRecord&) = delete;

  // A record of Header with Payload copied behind it. Raises EKyvError when Payload is not
  // exactly Header.DataSize bytes long.
  static TFrameRecord Make(const TFrameHeader& Header, std::span<const uint8_t> Payload);
  // A record of Header whose payload the caller fills through Data(), so that a reader can
  // receive the payload straight into its final place.
  static TFrameRecord Allocate(const TFrameHeader& Header);
  // A record from bytes as received: a header, then its payload. Raises EKyvError when Bytes is
  // too short for the header or for the DataSize that it states; bytes past the record are
  // ignored.
  static TFrameRecord FromBytes(std::span<const uint8_t> Bytes);

  // Hands the block over as a raw pointer, for a thread message. Whoever holds the raw pointer
  // frees it by adopting it.
  [[nodiscard]] uint8_t* Release() noexcept { return FBlock.release(); }
  // Takes ownership of a block made by Release.
  static TFrameRecord Adopt(uint8_t* Block) noexcept;

  explicit operator bool() const noexcept { return FBlock != nullptr; }

  // The accessors below need a record that holds a block.
  TFrameView View() const noexcept { return TFrameView(FBlock.get()); }
  TFrameHeader Header() const noexcept { return View().Header(); }
  uint32_t Time() const noexcept { return View().Time(); }
  int16_t FrameType() const noexcept { return View().FrameType(); }
  bool IsKeyFrame() const noexcept { return View().IsKeyFrame(); }
  uint32_t DataSize() const noexcept { return View().DataSize(); }
  // The whole record: 28 + DataSize bytes.
  size_t Size() const noexcept { return View().Size(); }

  const uint8_t* Bytes() const noexcept { return FBlock.get(); }
  uint8_t* Bytes() noexcept { return FBlock.get(); }
  std::span<const uint8_t> Data() const noexcept { return View().Data(); }
  std::span<uint8_t> Data() noexcept { return {FBlock.get() + TFrameHeader::kSize, DataSize()}; }

 private:
  explicit TFrameRecord(std::unique_ptr<uint8_t[]> block) noexcept : FBlock(std::move(block)) {}
  static std::unique_ptr<uint8_t[]> NewBlock(uint64_t size);

  std::unique_ptr<uint8_t[]> FBlock;
};

}  // namespace kyv
