#include "source/live/StationMessageFramer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "source/live/StationMessageHeader.h"

namespace kyv {

TStationMessageFramer::TStationMessageFramer(uint32_t MaxLength, size_t InitialSize)
    : TStationMessageFramer(std::unique_ptr<uint8_t[]>(
                                new uint8_t[std::max(InitialSize, TStationMessageHeader::kSize)]),
                            std::max(InitialSize, TStationMessageHeader::kSize), MaxLength) {}

TStationMessageFramer::TStationMessageFramer(std::unique_ptr<uint8_t[]> Buffer, size_t Size,
                                             uint32_t MaxLength)
    : FBuffer(std::move(Buffer)), FCapacity(Size), FMaxLength(MaxLength) {
  KYV_ASSERT(FBuffer != nullptr && FCapacity >= TStationMessageHeader::kSize);
}

uint32_t TStationMessageFramer::LengthAtCursor() const {
  const TStationMessageHeader head = TStationMessageHeader::Read(FBuffer.get() + FStart);
  if (head.Length > FMaxLength)
    throw EKyvError("A station message announces " + std::to_string(head.Length) +
                        " bytes, more than the " + std::to_string(FMaxLength) + " accepted",
                    reNetwork);
  return head.Length;
}

bool TStationMessageFramer::Next(TStationMessage& Message) {
  if (Held() < TStationMessageHeader::kSize) return false;
  const uint64_t length = LengthAtCursor();
  if (Held() < TStationMessageHeader::kSize + length) return false;
  const uint8_t* head = FBuffer.get() + FStart;
  Message.Type = head[0];
  Message.Payload = {head + TStationMessageHeader::kSize, static_cast<size_t>(length)};
  FStart += TStationMessageHeader::kSize + static_cast<size_t>(length);
  if (FStart == FEnd) FStart = FEnd = 0;
  return true;
}

std::span<uint8_t> TStationMessageFramer::ReceiveSpace() {
  if (FStart > 0) {
    std::memmove(FBuffer.get(), FBuffer.get() + FStart, Held());
    FEnd -= FStart;
    FStart = 0;
  }
  if (Held() >= TStationMessageHeader::kSize) {
    const size_t need = TStationMessageHeader::kSize + LengthAtCursor();
    if (need > FCapacity) {
      std::unique_ptr<uint8_t[]> grown;
      try {
        grown.reset(new uint8_t[need]);
      } catch (const std::bad_alloc&) {
        throw EKyvError("No memory for a station message of " + std::to_string(need) + " bytes",
                        reNetwork);
      }
      std::memcpy(grown.get(), FBuffer.get(), FEnd);
      FBuffer = std::move(grown);
      FCapacity = need;
    }
  }
  return {FBuffer.get() + FEnd, std::min(FCapacity - FEnd, kReceiveChunk)};
}

void TStationMessageFramer::Received(size_t Count) {
  KYV_ASSERT(Count <= FCapacity - FEnd);
  FEnd += Count;
}

size_t TStationMessageFramer::Feed(std::span<const uint8_t> Bytes) {
  const std::span<uint8_t> space = ReceiveSpace();
  const size_t count = std::min(space.size(), Bytes.size());
  if (count > 0) std::memcpy(space.data(), Bytes.data(), count);
  Received(count);
  return count;
}

void TStationMessageFramer::Clear() noexcept {
  FStart = FEnd = 0;
}

}  // namespace kyv
