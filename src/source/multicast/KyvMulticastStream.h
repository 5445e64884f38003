#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "source/LiveStore.h"
#include "source/ReadThread.h"
#include "source/multicast/KyvMulticastClient.h"
#include "store/FrameRecord.h"

namespace kyv {

// The reader of a live multicast stream. Its address is a description file (".SMS", SmsFile.h)
// naming the group and port. It joins the group on every listed interface, at most four, through
// one TKyvMulticastClient each, and takes whole frame records from their pools in turn into the
// frame store and the index, like the live TCP client: nothing before the first key frame, which
// gives the picture size (ReadPictureSize, through the initialised decoder) and UM_OPENED (a key
// frame that gives none is logged and dropped, and the stream waits for the next one); later
// records are stored, key frames indexed (bounded), and the play thread is asked to trim once the
// store holds more than 15 MiB. After a Seek the first record at or after the target is announced
// to the play thread with UM_REPLAY.
//
// Interfaces: ListInterfaces (NetworkInterfaces.h), which the KYV_MULTICAST_INTERFACES variable
// overrides, or the list given to the constructor. Inside a network namespace that has only the
// loopback, pass "127.0.0.1" one way or the other.
//
// Reports to the control's window: UM_OPENED with 0 once the picture size is known, UM_OPENED
// with 9 for an invalid description file, UM_SOURCE_ERROR with 1 when taking or storing records
// fails (also at once when there is no interface); the failure's text goes to the log behind
// kReadErrorPrefix.
//
// Threads: the Do... operations and the receivers' Start and Stop run on the stream thread; the
// receivers fill their pools on their own threads. Made with TThread::Create; the destructor
// ends the stream thread before the clients it uses, then each client ends its receiver before
// its pool goes.
class TKyvMulticastStream : public TReadThread {
 public:
  static constexpr int64_t kTrimBytes = TLiveStore::kTrimBytes;
  // How long the stream waits for a request when every pool was empty in one turn.
  static constexpr std::chrono::milliseconds kIdleWait{10};
  static constexpr char kReadErrorPrefix[] = "TKyvMulticastStream.HandleRead raise exception :";

  // Joins on ListInterfaces().
  explicit TKyvMulticastStream(TPlayContext& Context);
  // Joins on the given dotted addresses, at most four (the rest are ignored); an empty address
  // leaves the choice of interface to the system.
  TKyvMulticastStream(TPlayContext& Context, std::vector<std::string> Interfaces);
  ~TKyvMulticastStream() override;

  // Any thread: fixed at construction.
  const std::vector<std::string>& Interfaces() const noexcept { return FInterfaces; }
  size_t ClientCount() const noexcept { return FClients.size(); }
  // Any thread: a client's counters; tests also fill its pool through Store.
  TKyvMulticastClient& Client(size_t Index) { return *FClients.at(Index); }

 protected:
  void DoOpen() override;
  void DoRead(int64_t Time) override;
  void DoSeek(uint32_t Time) override;
  void DoReset() override;

  // Stream thread: starts every receiver on its interface, or stops them all, each call
  // returning once each receiver has taken the command. Starting empties each pool after its
  // receiver has left the old group. Tests replace them to work without sockets.
  virtual void StartReceivers(const std::string& Group, uint16_t Port);
  virtual void StopReceivers();

 private:
  // Stream thread: one record taken from a pool.
  void HandleRecord(TFrameRecord Record, int64_t Target, bool& TargetReached);
  void StoreRecord(TFrameRecord Record, int64_t Target, bool& TargetReached);

  const std::vector<std::string> FInterfaces;
  // Made in the constructor, freed in the destructor after the stream thread has ended; the
  // vector itself never changes in between.
  std::vector<TThreadPtr<TKyvMulticastClient>> FClients;
  TLiveStore FStore{FContext};  // stream thread only
};

}  // namespace kyv
