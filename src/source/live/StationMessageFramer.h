#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "decoder/Limits.h"

namespace kyv {

// One whole message as the framer hands it out. Payload points into the framer's buffer.
struct TStationMessage {
  uint8_t Type = 0;  // TStationMessageType, or any other value a peer sent
  std::span<const uint8_t> Payload;
};

// Cuts the byte stream of a station connection into whole messages (8-byte head, then Length
// payload bytes). Bytes are received straight into its buffer, messages are handed out in place,
// and only an unfinished remainder is moved, to the front, before the next receive. The buffer
// grows to exactly the size of a message that does not fit and never shrinks; a head announcing
// more than the bound is refused before anything is allocated for it.
//
// Use: take every message with Next until it says false, then receive into ReceiveSpace and
// report the count with Received (or copy bytes in with Feed), and again. One thread only.
class TStationMessageFramer {
 public:
  // Largest Length accepted from a station: anything above is a protocol error.
  static constexpr uint32_t kMaxLength = static_cast<uint32_t>(kMaxRecordBytes);
  static constexpr size_t kInitialSize = 0x80000;
  // A single receive writes at most this much.
  static constexpr size_t kReceiveChunk = 0x8000;

  explicit TStationMessageFramer(uint32_t MaxLength = kMaxLength,
                                 size_t InitialSize = kInitialSize);
  // Starts with Buffer, Size bytes (at least 8), instead of a buffer of its own.
  TStationMessageFramer(std::unique_ptr<uint8_t[]> Buffer, size_t Size,
                        uint32_t MaxLength = kMaxLength);
  TStationMessageFramer(const TStationMessageFramer&) = delete;
  TStationMessageFramer& operator=(const TStationMessageFramer&) = delete;

  // The next whole message, moving past it; false when the bytes held do not complete one.
  // Raises EKyvError with code 7 (reNetwork) when the head held announces more than the bound.
  // The payload stays valid until the next ReceiveSpace, Feed or Clear.
  bool Next(TStationMessage& Message);

  // Where the next receive writes: at most kReceiveChunk bytes, and not empty once Next has
  // said false. Raises EKyvError with code 7 when the message begun needs a buffer beyond the
  // bound or one that cannot be had.
  std::span<uint8_t> ReceiveSpace();
  // Count bytes were written at the start of the last ReceiveSpace.
  void Received(size_t Count);
  // Copies as much of Bytes as ReceiveSpace takes and returns how much that was.
  size_t Feed(std::span<const uint8_t> Bytes);

  // Forgets every byte held; the buffer keeps its size.
  void Clear() noexcept;

  // Bytes received and not yet handed out as whole messages.
  size_t Held() const noexcept { return FEnd - FStart; }
  size_t Capacity() const noexcept { return FCapacity; }
  uint32_t MaxLength() const noexcept { return FMaxLength; }

 private:
  // The Length of the head at the cursor, checked against the bound; Held() >= 8.
  uint32_t LengthAtCursor() const;

  std::unique_ptr<uint8_t[]> FBuffer;
  size_t FCapacity;
  size_t FStart = 0;  // cursor: first byte not yet handed out
  size_t FEnd = 0;    // first byte not yet received
  const uint32_t FMaxLength;
};

}  // namespace kyv
