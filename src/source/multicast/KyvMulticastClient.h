#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "source/multicast/ReceiveThread.h"
#include "store/FrameRecord.h"
#include "store/MemPool.h"

namespace kyv {

// The debugger text of a message that the pool cannot take.
inline constexpr char kPoolLossText[] = "KyvPlayer.ocx -> Loss data";

// One broadcast receiver of the multicast stream: it keeps every complete message, one or more
// whole frame records, in its own byte pool, from which the stream thread takes records.
//
// A message that is not a sequence of whole frame records is dropped as a loss: the pool holds
// only whole records, so a damaged message can never shift the record boundaries of the ones
// after it. Such losses go to the debugger output through the receiver's limiter.
//
// Threads: Store runs on the receiver thread (DoReceive), or on a test's; TakeRecord and Drain
// on the stream thread. The pool's lock makes a whole message or a whole record one step.
class TKyvMulticastClient : public TReceiveThread {
 public:
  static constexpr int32_t kPoolSize = 0x500000;

  TKyvMulticastClient();
  ~TKyvMulticastClient() override;

  // Any thread: puts one message into the pool, or drops it with the loss text when it does not
  // fit or is not made of whole frame records. True when it was stored.
  bool Store(std::span<const uint8_t> Message);
  // Stream thread: the next whole record, or an empty record when the pool holds 28 bytes or
  // fewer (a record without payload therefore waits until more bytes follow it).
  TFrameRecord TakeRecord();
  // Stream thread: forgets everything held.
  void Drain();

  // Any thread: bytes held, and messages dropped at the pool.
  int32_t PoolDataLen() const { return FPool.DataLen(); }
  uint64_t PoolLosses() const noexcept { return FPoolLosses.load(); }

  // True when Message is a sequence of whole frame records (an empty one is).
  static bool HoldsWholeRecords(std::span<const uint8_t> Message) noexcept;

 protected:
  void DoReceive(const uint8_t* Data, size_t Size) override;

 private:
  void ReportPoolLoss();

  // Made before the receiver thread starts and kept until after it has ended: the thread is
  // joined by the TThreadPtr before this object is destroyed.
  TMemPool FPool{kPoolSize};
  std::atomic<uint64_t> FPoolLosses{0};
};

}  // namespace kyv
