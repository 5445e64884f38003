// The local file reader against the floor of plain sequential reads of the same file, and the
// latency of a seek (request to UM_REPLAY) in a one-hour recording.
//
// The recording (about 200 MB: one hour, ten records a second, a 150 KB key frame every five
// seconds) is generated once into $TMPDIR and reused by later runs.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "source/FileThread.h"
#include "writer/RecordingFile.h"
#include "writer/RecordingWriter.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kHourMs = 3'600'000;
constexpr uint32_t kFrameStepMs = 100;
constexpr uint32_t kKeyEveryMs = 5000;
constexpr size_t kKeyBytes = 150'000;
constexpr int64_t kFar = 0xFFFFFFF0;

struct TBenchFile {
  std::filesystem::path Path;
  uint64_t FrameArea = 0;
  uint64_t Records = 0;
};

const TBenchFile& BenchFile() {
  static const TBenchFile file = [] {
    TBenchFile made;
    made.Path = std::filesystem::temp_directory_path() / "kyv_bench_reader_1h.kyv";
    try {
      const TRecordingFile existing(made.Path);
      const TRecordingHead head = existing.ReadHead();
      if (head.Header.Duration == kHourMs - kFrameStepMs) {
        made.FrameArea = static_cast<uint64_t>(head.Header.IndexOffset);
        made.Records = kHourMs / kFrameStepMs;
        return made;
      }
    } catch (const std::exception&) {
    }
    std::vector<uint8_t> pool(1 << 20);
    std::mt19937 random(1);
    for (auto& b : pool) b = static_cast<uint8_t>(random());
    TRecordingWriter writer(made.Path, 1280, 800);
    for (uint32_t t = 0; t < kHourMs; t += kFrameStepMs) {
      const bool key = t % kKeyEveryMs == 0;
      const size_t size = key ? kKeyBytes : 200 + random() % 5000;
      const size_t from = random() % (pool.size() - size);
      writer.AddFrame(t, key ? ftKeyFrame : ftCopyRect, ckNone, 0, 0,
                      std::span<const uint8_t>(pool.data() + from, size));
    }
    writer.Finish();
    made.FrameArea = writer.FrameAreaSize();
    made.Records = writer.FrameCount();
    return made;
  }();
  return file;
}

// Stands in for the play thread: notes each UM_REPLAY.
class TReplayCatcher : public TThread {
 public:
  TEvent Replayed;
  std::atomic<int32_t> Index{-2};

 protected:
  void Execute() override {
    TMessage message;
    while (Queue().Get(message)) {
      if (message.Msg != UM_REPLAY) continue;
      Index = static_cast<int32_t>(static_cast<LPARAM>(message.WParam));
      Replayed.Set();
    }
  }
};

struct TReaderRig {
  TWindow Window;
  TPlayContext Context;
  TThreadPtr<TReplayCatcher> Player;
  TThreadPtr<TFileThread> Reader;

  TReaderRig() {
    Context.Wnd = Window.Handle();
    Player = TThread::Create<TReplayCatcher>();
    Context.PlayerThread = Player.get();
    Reader = TThread::Create<TFileThread>(Context);
  }

  void Open(benchmark::State& state) {
    Reader->Open(BenchFile().Path.string());
    TMessage message;
    while (!Window.Queue().Peek(message)) Window.Queue().WaitFor(100ms);
    if (message.Msg != UM_OPENED) state.SkipWithError("the bench recording does not open");
  }
};

// The floor: the same file read front to back in the reader's chunk size.
void BM_SequentialReadFloor(benchmark::State& state) {
  const TBenchFile& file = BenchFile();
  std::vector<uint8_t> buffer(TFileThread::kChunkSize);
  uint64_t total = 0;
  for (auto _ : state) {
    const int fd = ::open(file.Path.c_str(), O_RDONLY);
    ssize_t n;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<uint64_t>(n);
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<int64_t>(total));
}
BENCHMARK(BM_SequentialReadFloor)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Open, then read the whole frame area into the frames buffer while a consumer keeps freeing
// what it has taken, as the play thread does after playing.
void BM_ReadRecordingEndToEnd(benchmark::State& state) {
  const TBenchFile& file = BenchFile();
  TReaderRig rig;
  for (auto _ : state) {
    rig.Open(state);
    rig.Reader->Read(kFar);
    TFramesBuffer& frames = rig.Context.Frames;
    while (!rig.Player->Replayed.WaitFor(0ms)) {
      const int32_t count = frames.Count();
      if (count > 1) {
        frames.SetCurrentIndex(count - 1);
        frames.DiscardPlayed(false);
      } else {
        std::this_thread::yield();
      }
    }
    if (rig.Player->Index != static_cast<int32_t>(frames.Count() - 1))
      state.SkipWithError("the reader did not end at the last record");
    state.PauseTiming();
    rig.Reader->Close();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.FrameArea));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * file.Records));
}
BENCHMARK(BM_ReadRecordingEndToEnd)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Seek requests at random times: from the request to the reader's UM_REPLAY. The read-ahead of
// the previous seek is still running when the next request comes, as when a user drags.
void BM_RandomSeekLatency(benchmark::State& state) {
  TReaderRig rig;
  rig.Open(state);
  std::mt19937 random(3);
  std::vector<double> micros;
  for (auto _ : state) {
    const uint32_t target = random() % kHourMs;
    const auto start = std::chrono::steady_clock::now();
    rig.Reader->Seek(target);
    if (!rig.Player->Replayed.WaitFor(10s)) state.SkipWithError("no UM_REPLAY");
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double q) { return micros[static_cast<size_t>(q * (micros.size() - 1))]; };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_RandomSeekLatency)->Iterations(1000)->UseRealTime();

}  // namespace
}  // namespace kyv

BENCHMARK_MAIN();
