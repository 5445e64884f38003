#include "source/multicast/KyvMulticastClient.h"

#include "decoder/FileFormat.h"
#include "platform/Errors.h"
#include "platform/System.h"

namespace kyv {

TKyvMulticastClient::TKyvMulticastClient() = default;

TKyvMulticastClient::~TKyvMulticastClient() {
  // The pool must outlive the receiver thread that writes it.
  StopAndWait();
}

bool TKyvMulticastClient::HoldsWholeRecords(std::span<const uint8_t> Message) noexcept {
  uint64_t at = 0;
  while (at < Message.size()) {
    if (Message.size() - at < TFrameHeader::kSize) return false;
    at += TFrameHeader::Read(Message.data() + at).RecordSize();
  }
  return at == Message.size();
}

void TKyvMulticastClient::ReportPoolLoss() {
  FPoolLosses.fetch_add(1, std::memory_order_relaxed);
  // Through the receiver's limiter: a sender whose messages never fit must not flood the output.
  DoLoss(kPoolLossText);
}

bool TKyvMulticastClient::Store(std::span<const uint8_t> Message) {
  if (Message.empty()) return false;
  if (!HoldsWholeRecords(Message)) {
    ReportPoolLoss();
    return false;
  }
  int32_t written = 0;
  {
    TMemPool::TGuard guard(FPool);
    // The pool holds at most 5 MiB, so a larger message never fits.
    if (Message.size() < static_cast<size_t>(FPool.FreeSpace()))
      written = FPool.Write(Message.data(), static_cast<int32_t>(Message.size()));
  }
  if (static_cast<size_t>(written) == Message.size()) return true;
  ReportPoolLoss();
  return false;
}

void TKyvMulticastClient::DoReceive(const uint8_t* Data, size_t Size) {
  Store(std::span<const uint8_t>(Data, Size));
}

TFrameRecord TKyvMulticastClient::TakeRecord() {
  TMemPool::TGuard guard(FPool);
  if (FPool.DataLen() <= static_cast<int32_t>(TFrameHeader::kSize)) return {};
  uint8_t head[TFrameHeader::kSize];
  FPool.Read(head, static_cast<int32_t>(TFrameHeader::kSize));
  const TFrameHeader header = TFrameHeader::Read(head);
  // Only whole records are stored, so this holds unless the pool itself is damaged; then what
  // it holds cannot be trusted and goes.
  if (header.DataSize > static_cast<uint32_t>(FPool.DataLen())) {
    FPool.Read(nullptr, FPool.DataLen());
    throw EKyvError("Multicast pool holds a record cut short: " + std::to_string(header.DataSize) +
                    " payload bytes announced");
  }
  TFrameRecord record = TFrameRecord::Allocate(header);
  FPool.Read(record.Data().data(), static_cast<int32_t>(header.DataSize));
  return record;
}

void TKyvMulticastClient::Drain() {
  TMemPool::TGuard guard(FPool);
  FPool.Read(nullptr, FPool.DataLen());
}

}  // namespace kyv
