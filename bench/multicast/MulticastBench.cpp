// A live multicast stream at 20, 50, 100 and 400 Mbit/s inside a private network namespace: a
// sender paces frame records (a 200 KB key frame every two seconds, deltas of 2 to 40 KB between)
// to the group, and the stream puts them into the frame store. Reported: messages sent, stored and
// lost, and where the losses happened (packets dropped by the reassembly, messages abandoned,
// messages the pool had no room for). Goal: no loss at 50 Mbit/s.
//
// Needs root for `ip netns`; elsewhere it says so and runs nothing.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "NetNamespace.h"
#include "context/PlayContext.h"
#include "decoder/DecoderCalls.h"
#include "decoder/FileFormat.h"
#include "platform/Window.h"
#include "source/multicast/KyvMulticastStream.h"
#include "source/multicast/MulticastSender.h"
#include "writer/PayloadEncoder.h"
#include "writer/Pixels24.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr char kGroup[] = "239.66.0.1";
constexpr uint16_t kPort = 47100;
constexpr auto kSendTime = 3s;
constexpr uint32_t kKeyEveryMs = 2000;
constexpr size_t kKeyBytes = 200'000;

std::vector<uint8_t> Record(uint32_t Time, int16_t Type, size_t PayloadSize,
                            int16_t Compression = ckNone) {
  TFrameHeader header{};
  header.Time = Time;
  header.FrameType = Type;
  header.Compression = Compression;
  header.DataSize = static_cast<uint32_t>(PayloadSize);
  std::vector<uint8_t> bytes(TFrameHeader::kSize + PayloadSize, 0x5A);
  header.Write(bytes.data());
  return bytes;
}

// Only the first key frame is decoded (for the picture size), so it is a real picture; later key
// frames are plain payloads of a key frame's size.
std::vector<uint8_t> FirstKeyFrame() {
  const std::vector<uint8_t> payload = EncodePayload(TPixels24(320, 240, 0x00336699), ckZlib);
  std::vector<uint8_t> bytes = Record(0, ftKeyFrame, payload.size(), ckZlib);
  std::copy(payload.begin(), payload.end(), bytes.begin() + TFrameHeader::kSize);
  return bytes;
}

void BM_MulticastStream(benchmark::State& State) {
  const double megabits = static_cast<double>(State.range(0));
  const double bytesPerSecond = megabits * 1e6 / 8;
  TDecoderUsage decoder;
  const std::filesystem::path sms =
      std::filesystem::temp_directory_path() / ("kyv_bench_" + std::to_string(::getpid()) + ".sms");
  WriteSmsFile(sms, kGroup, kPort);

  for (auto _ : State) {
    TPlayContext context;
    TWindow window;
    context.Wnd = window.Handle();
    auto stream =
        TThread::Create<TKyvMulticastStream>(context, std::vector<std::string>{"127.0.0.1"});
    stream->Open(sms.string());
    TMulticastSender sender(kGroup, kPort, "127.0.0.1");
    // The receiver's socket is ready once it hears a marker, which the opening stream drops.
    const std::vector<uint8_t> marker = Record(0, ftMarker, 4);
    const auto ready = TClock::now() + 10s;
    while (stream->Client(0).MessagesReceived() == 0 && TClock::now() < ready) {
      sender.Send(marker);
      std::this_thread::sleep_for(5ms);
    }

    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> deltaSize(2'000, 40'000);
    const std::vector<uint8_t> first = FirstKeyFrame();
    uint64_t sent = 0;
    uint64_t bytes = 0;
    const auto start = TClock::now();
    uint32_t lastKey = 0;
    while (TClock::now() - start < kSendTime) {
      const uint32_t time = static_cast<uint32_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count());
      std::vector<uint8_t> record;
      if (sent == 0) {
        record = first;
      } else if (time - lastKey >= kKeyEveryMs) {
        record = Record(time, ftKeyFrame, kKeyBytes);
        lastKey = time;
      } else {
        record = Record(time, ftCopyRect, deltaSize(random));
      }
      sender.Send(record);
      ++sent;
      bytes += record.size();
      // The next record leaves when the bytes so far are due at the rate.
      const auto due = start + std::chrono::duration_cast<TClock::duration>(
                                   std::chrono::duration<double>(bytes / bytesPerSecond));
      std::this_thread::sleep_until(due);
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    // Whatever is still on its way arrives within a moment.
    auto settled = TClock::now() + 2s;
    int32_t stored = context.Frames.Count();
    while (TClock::now() < settled) {
      std::this_thread::sleep_for(50ms);
      const int32_t now = context.Frames.Count();
      if (now == static_cast<int32_t>(sent)) break;
      if (now != stored) settled = TClock::now() + 500ms;
      stored = now;
    }
    stored = context.Frames.Count();
    stream->Close();
    State.SetIterationTime(seconds);

    const TKyvMulticastClient& client = stream->Client(0);
    State.counters["sent"] = static_cast<double>(sent);
    State.counters["stored"] = stored;
    State.counters["lost"] = static_cast<double>(sent) - stored;
    State.counters["lost_pct"] = 100.0 * (static_cast<double>(sent) - stored) / sent;
    State.counters["Mbit_s"] = bytes * 8 / seconds / 1e6;
    State.counters["dropped_pkts"] = static_cast<double>(client.PacketsDropped());
    State.counters["abandoned"] = static_cast<double>(client.MessagesAbandoned());
    State.counters["pool_losses"] = static_cast<double>(client.PoolLosses());
  }
  std::filesystem::remove(sms);
}

BENCHMARK(BM_MulticastStream)
    ->Arg(20)
    ->Arg(50)
    ->Arg(100)
    ->Arg(400)  // headroom
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kyv::test::TNetNamespace ns;
  if (!ns.Available()) {
    std::printf("multicast benchmark skipped: %s\n", ns.Reason().c_str());
    return 0;
  }
  // The benchmarks run on this thread; inside the namespace, so do their sockets and threads.
  if (!ns.Run([] { benchmark::RunSpecifiedBenchmarks(); })) {
    std::printf("multicast benchmark skipped: the namespace could not be entered\n");
    return 0;
  }
  benchmark::Shutdown();
  return 0;
}
