// The live TCP path from a station to the frame store on loopback: a station inside this
// process serves a recording, the player's live stream puts the records into the frames buffer,
// and a stand-in for the play thread trims the buffer when asked, as the real one does.
//
// Throughput: the station unpaced, large records; MB/s and frames/s as the store receives them.
// Latency: the station paced at the recording's speed (100 frames a second, a 256 KB key frame
// every 20 frames and 8 to 40 KB between), from the moment the station hands a frame to the
// socket to the moment the record is in the frames buffer; p50 and p99.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "Station.h"
#include "StationConsole.h"
#include "StationOptions.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "source/live/KyvStream.h"
#include "writer/BitmapWriter.h"
#include "writer/Pixels24.h"
#include "writer/RecordingWriter.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// A recording in the temporary folder, removed when the program ends.
struct TBenchRecording {
  std::filesystem::path Path;
  ~TBenchRecording() {
    std::error_code ignored;
    std::filesystem::remove(Path, ignored);
  }
};

// Writes a recording: Frames records 10 ms apart, a key frame (a small bitmap padded to
// KeyBytes) every KeyEvery records, the others of a size between MinBytes and MaxBytes.
TBenchRecording MakeRecording(const std::string& Name, int Frames, int KeyEvery, size_t KeyBytes,
                              size_t MinBytes, size_t MaxBytes) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / Name;
  std::vector<uint8_t> key = EncodeBitmapFile(TPixels24(64, 48, 0x204060), 24);
  key.resize(std::max(key.size(), KeyBytes), 0);
  std::vector<uint8_t> pool(MaxBytes + 4096);
  std::mt19937 random(7);
  for (auto& b : pool) b = static_cast<uint8_t>(random());
  TRecordingWriter writer(path, 64, 48);
  for (int i = 0; i < Frames; ++i) {
    const uint32_t time = static_cast<uint32_t>(i) * 10;
    if (i % KeyEvery == 0) {
      writer.AddFrame(time, ftKeyFrame, ckNone, 0, 0, key);
    } else {
      const size_t size = MinBytes + random() % (MaxBytes - MinBytes + 1);
      writer.AddFrame(time, ftCopyRect, ckNone, 0, 0,
                      std::span<const uint8_t>(pool.data() + random() % 4096, size));
    }
  }
  writer.Finish();
  return {path};
}

// Stands in for the play thread: frees what was played whenever the stream asks.
class TTrimmer : public TThread {
 public:
  explicit TTrimmer(TFramesBuffer& Frames) : FFrames(Frames) {}

 protected:
  void Execute() override {
    TMessage message;
    while (Queue().Get(message))
      if (message.Msg == UM_TRIM) FFrames.DiscardPlayed(true);
  }

 private:
  TFramesBuffer& FFrames;
};

// The live stream with a note of every record it has put into the frames buffer.
class TCountingStream : public TKyvStream {
 public:
  using TKyvStream::TKyvStream;

  std::atomic<uint64_t> Frames{0};
  std::atomic<uint64_t> Bytes{0};
  std::mutex Lock;
  std::unordered_map<uint32_t, TClock::time_point> Stored;  // guarded by Lock; latency runs only
  bool NoteTimes = false;                                   // set before Open

 protected:
  void DoFrame(TFrameRecord& Frame) override {
    const uint32_t time = Frame.Time();
    const size_t size = Frame.Size();
    TKyvStream::DoFrame(Frame);
    if (NoteTimes) {
      const TClock::time_point now = TClock::now();
      std::lock_guard lock(Lock);
      Stored.emplace(time, now);
    }
    Bytes += size;
    ++Frames;
  }
};

// A station in this process on a free loopback port, and one player connected to it.
struct TLiveRig {
  std::ostringstream Out, Err;
  station::TStationConsole Console{Out, Err};
  std::mutex SentLock;
  std::unordered_map<uint32_t, TClock::time_point> Sent;  // guarded by SentLock
  std::unique_ptr<station::TStation> Station;
  std::thread StationThread;
  TDecoderUsage Decoder;
  TWindow Window;
  TPlayContext Context;
  TThreadPtr<TTrimmer> Trimmer;
  TThreadPtr<TCountingStream> Stream;

  TLiveRig(const std::filesystem::path& Recording, bool Paced, bool NoteTimes) {
    station::TStationOptions options;
    options.Recording = Recording;
    options.Bind = "127.0.0.1";
    options.Port = 0;
    options.Paced = Paced;
    station::TFrameSentHook hook;
    if (NoteTimes)
      hook = [this](uint32_t Time) {
        const TClock::time_point now = TClock::now();
        std::lock_guard lock(SentLock);
        Sent.emplace(Time, now);
      };
    Station = std::make_unique<station::TStation>(options, Console, hook);
    StationThread = std::thread([this] { Station->Run(); });
    Context.Wnd = Window.Handle();
    Trimmer = TThread::Create<TTrimmer>(Context.Frames);
    Context.PlayerThread = Trimmer.get();
    Stream = TThread::Create<TCountingStream>(Context);
    Stream->NoteTimes = NoteTimes;
    Stream->Open("kyvs://127.0.0.1:" + std::to_string(Station->Port()) + "/bench");
  }

  ~TLiveRig() {
    Stream->Close();
    Stream.reset();
    Context.PlayerThread = nullptr;
    Trimmer.reset();
    Station->Stop();
    StationThread.join();
  }

  bool WaitForFrames(uint64_t Count, std::chrono::seconds Limit) {
    const TClock::time_point deadline = TClock::now() + Limit;
    while (Stream->Frames.load() < Count) {
      if (TClock::now() >= deadline) return false;
      std::this_thread::sleep_for(200us);
    }
    return true;
  }
};

void BM_LoopbackThroughput(benchmark::State& state) {
  static const TBenchRecording recording =
      MakeRecording("kyv_bench_live_bulk.kyv", 100, 25, 512 * 1024, 512 * 1024, 512 * 1024);
  TLiveRig rig(recording.Path, false, false);
  if (!rig.WaitForFrames(10, 10s)) {
    state.SkipWithError("no frames arrive");
    return;
  }
  constexpr uint64_t kFramesPerRun = 2000;  // about 1 GB
  uint64_t frames = 0, bytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const uint64_t frames0 = rig.Stream->Frames, bytes0 = rig.Stream->Bytes;
    const TClock::time_point start = TClock::now();
    if (!rig.WaitForFrames(frames0 + kFramesPerRun, 60s)) state.SkipWithError("the stream stalled");
    const double elapsed = std::chrono::duration<double>(TClock::now() - start).count();
    state.SetIterationTime(elapsed);
    seconds += elapsed;
    frames += rig.Stream->Frames - frames0;
    bytes += rig.Stream->Bytes - bytes0;
  }
  state.counters["MB/s"] = static_cast<double>(bytes) / seconds / 1e6;
  state.counters["frames/s"] = static_cast<double>(frames) / seconds;
  state.counters["store_MB"] = static_cast<double>(rig.Context.Frames.TotalBytes()) / 1e6;
}
BENCHMARK(BM_LoopbackThroughput)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_SendToStoreLatency(benchmark::State& state) {
  static const TBenchRecording recording =
      MakeRecording("kyv_bench_live_paced.kyv", 400, 20, 256 * 1024, 8 * 1024, 40 * 1024);
  TLiveRig rig(recording.Path, true, true);
  constexpr uint64_t kFrames = 300;  // three seconds at 100 frames a second
  for (auto _ : state)
    if (!rig.WaitForFrames(kFrames, 30s)) state.SkipWithError("the stream stalled");
  std::vector<double> millis;
  {
    std::lock_guard sentLock(rig.SentLock);
    std::lock_guard storedLock(rig.Stream->Lock);
    for (const auto& [time, stored] : rig.Stream->Stored) {
      const auto sent = rig.Sent.find(time);
      if (sent != rig.Sent.end())
        millis.push_back(std::chrono::duration<double, std::milli>(stored - sent->second).count());
    }
  }
  if (millis.empty()) {
    state.SkipWithError("no frame was matched");
    return;
  }
  std::sort(millis.begin(), millis.end());
  const auto at = [&](double q) { return millis[static_cast<size_t>(q * (millis.size() - 1))]; };
  state.counters["frames"] = static_cast<double>(millis.size());
  state.counters["p50_ms"] = at(0.50);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = millis.back();
}
BENCHMARK(BM_SendToStoreLatency)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kyv

BENCHMARK_MAIN();
