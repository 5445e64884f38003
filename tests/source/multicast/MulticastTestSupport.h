#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "decoder/FileFormat.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "source/multicast/MulticastPacketHeader.h"
#include "support/WindowMessages.h"

namespace kyv::test {

using namespace std::chrono_literals;

// How long a test waits for something that should happen at once; reached only by a fault.
inline constexpr auto kGuard = 10s;

// Waits until Done holds, or kGuard passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& Done) {
  const auto deadline = std::chrono::steady_clock::now() + kGuard;
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// One frame record's bytes: header, then Payload.
inline std::vector<uint8_t> RecordBytes(uint32_t Time, int16_t Type,
                                        const std::vector<uint8_t>& Payload,
                                        int16_t Compression = ckNone) {
  TFrameHeader header{};
  header.Time = Time;
  header.FrameType = Type;
  header.Compression = Compression;
  header.DataSize = static_cast<uint32_t>(Payload.size());
  std::vector<uint8_t> bytes(TFrameHeader::kSize + Payload.size());
  header.Write(bytes.data());
  std::copy(Payload.begin(), Payload.end(), bytes.begin() + TFrameHeader::kSize);
  return bytes;
}

// One datagram: the packet head, then Payload.
inline std::vector<uint8_t> Datagram(uint32_t Id, uint32_t Size, uint16_t Index, uint16_t Count,
                                     const std::vector<uint8_t>& Payload = {}) {
  TMulticastPacketHeader head{Id, Size, Index, Count};
  std::vector<uint8_t> bytes(TMulticastPacketHeader::kSize);
  head.Write(bytes.data());
  bytes.insert(bytes.end(), Payload.begin(), Payload.end());
  return bytes;
}

// Bytes 0, 1, 2 ... of the given length, shifted by Seed.
inline std::vector<uint8_t> Pattern(size_t Length, uint8_t Seed = 0) {
  std::vector<uint8_t> bytes(Length);
  for (size_t i = 0; i < Length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + Seed);
  return bytes;
}

// Stands in for the play thread: keeps every request it gets.
class TRequestRecorder : public TThread {
 public:
  static constexpr UINT kSyncMessage = WM_USER + 999;

  std::vector<TMessage> Messages() {
    std::lock_guard lock(FLock);
    return FMessages;
  }
  // Returns once every request posted before the call has been kept.
  bool Sync() {
    const size_t before = CountOf(kSyncMessage);
    if (!Queue().Post(kSyncMessage)) return false;
    return WaitUntil([&] { return CountOf(kSyncMessage) > before; });
  }
  size_t CountOf(UINT Msg) {
    std::lock_guard lock(FLock);
    return static_cast<size_t>(std::count_if(FMessages.begin(), FMessages.end(),
                                             [&](const TMessage& m) { return m.Msg == Msg; }));
  }

 protected:
  void Execute() override {
    TMessage message;
    while (Queue().Get(message)) {
      std::lock_guard lock(FLock);
      FMessages.push_back(message);
    }
  }

 private:
  std::mutex FLock;
  std::vector<TMessage> FMessages;  // guarded by FLock
};

}  // namespace kyv::test
