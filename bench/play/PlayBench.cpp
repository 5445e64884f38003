// The play thread: rendering every frame of a 1920x1080 minute against the decode-only floor of
// the same frames, seek latency in a one-hour recording (request to the target's picture), and
// the processor time that real-time playback of a sparse recording and a pause cost.
//
// The one-hour recording (about 60 MB: ten records a second, a zlib key frame every five
// seconds) is generated once into $TMPDIR and reused by later runs.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "HeadlessPlayer.h"
#include "context/PlayContext.h"
#include "context/UserMessages.h"
#include "decoder/DecoderCalls.h"
#include "decoder/Limits.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "play/PlayThread.h"
#include "writer/BitmapWriter.h"
#include "writer/PayloadEncoder.h"
#include "writer/RecordingFile.h"
#include "writer/RecordingWriter.h"
#include "writer/SampleGenerator.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Handles a window's messages until one of kind Msg arrives.
bool WaitWindow(TWindow& Window, UINT Msg, std::chrono::milliseconds Patience = 60s) {
  const auto deadline = Clock::now() + Patience;
  for (;;) {
    TMessage m;
    while (Window.Queue().Peek(m))
      if (m.Msg == Msg) return true;
    if (Clock::now() >= deadline) return false;
    Window.Queue().WaitFor(10ms);
  }
}

// ---- (a) every frame of a 1080p minute ----

struct TMinute {
  TDecoderUsage Decoder;
  TWindow Window;
  TPlayContext Context;
  uint64_t PixelsDrawn = 0;  // decoded image pixels of all frames
  int32_t Frames = 0;

  TMinute() {
    TSampleOptions options;
    options.Width = 1920;
    options.Height = 1080;
    options.Seconds = 60;
    options.NailInterval = 0;
    TSampleGenerator generator(options);
    Context.Wnd = Window.Handle();
    Context.Header.Width = 1920;
    Context.Header.Height = 1080;
    TSampleFrame frame;
    while (generator.Next(frame)) {
      frame.Header.DataSize = static_cast<uint32_t>(frame.Payload.size());
      Context.Frames.Add(TFrameRecord::Make(frame.Header, frame.Payload));
      if (frame.Header.FrameType == ftKeyFrame) Context.Index.AddEntry(frame.Header.Time, false, 0);
    }
    Frames = Context.Frames.Count();
  }
};

// Decodes every buffered frame as the play thread does, without drawing: the floor.
double DecodeAll(TMinute& M, uint64_t* Pixels) {
  const auto start = Clock::now();
  TFramesBuffer::TGuard list(M.Context.Frames);
  uint64_t pixels = 0;
  for (int32_t i = 0; i < M.Frames; ++i) {
    const TFrameView frame = M.Context.Frames.Items(i);
    if (frame.DataSize() == 0) continue;
    TDecoderLock lock;
    void* dest = nullptr;
    UnZipEx(frame.Data().data(), static_cast<int32_t>(frame.DataSize()), frame.Header().Compression,
            dest, static_cast<int32_t>(kMaxDecodedBytes));
    const auto* info = static_cast<const uint8_t*>(dest) + 14;
    const int32_t w = static_cast<int32_t>(info[4] | info[5] << 8 | info[6] << 16 | info[7] << 24);
    const int32_t h =
        static_cast<int32_t>(info[8] | info[9] << 8 | info[10] << 16 | info[11] << 24);
    pixels += static_cast<uint64_t>(std::abs(int64_t{w}) * std::abs(int64_t{h}));
    benchmark::DoNotOptimize(dest);
  }
  if (Pixels) *Pixels = pixels;
  return Seconds(Clock::now() - start);
}

void BM_RenderEveryFrame1080p(benchmark::State& state) {
  static TMinute minute;
  auto player = TThread::Create<TPlayThread>(minute.Context);
  minute.Context.PlayerThread = player.get();
  double floor = 0, render = 0;
  uint64_t pixels = 0;
  for (auto _ : state) {
    floor += DecodeAll(minute, &pixels);
    const auto start = Clock::now();
    // What a reader's UM_REPLAY asks: every buffered frame, back to back.
    SafePostThreadMessage(*player, UM_REPLAY, static_cast<WPARAM>(LPARAM{-1}));
    if (!WaitWindow(minute.Window, UM_DIRTY)) state.SkipWithError("no picture");
    const double s = Seconds(Clock::now() - start);
    render += s;
    state.SetIterationTime(s);
  }
  minute.Context.PlayerThread = nullptr;
  const double n = static_cast<double>(state.iterations());
  state.counters["frames"] = minute.Frames;
  state.counters["frames_per_s"] = minute.Frames * n / render;
  state.counters["Mpixel_per_s"] = static_cast<double>(pixels) * n / render / 1e6;
  state.counters["floor_frames_per_s"] = minute.Frames * n / floor;
  state.counters["render_over_floor"] = render / floor;
}
BENCHMARK(BM_RenderEveryFrame1080p)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

// ---- (b) seeks in a one-hour recording ----

constexpr uint32_t kHourMs = 3'600'000;
constexpr uint32_t kStepMs = 100;
constexpr uint32_t kKeyEveryMs = 5000;

std::filesystem::path HourFile() {
  static const std::filesystem::path path = [] {
    const auto made = std::filesystem::temp_directory_path() / "kyv_bench_play_1h.kyv";
    try {
      if (TRecordingFile(made).ReadHead().Header.Duration == kHourMs - kStepMs) return made;
    } catch (const std::exception&) {
    }
    TPixels24 screen(1024, 768, 0x604020);
    screen.Fill(100, 100, 600, 400, 0xFFFFFF);
    const std::vector<uint8_t> key = EncodeBitmapFile(screen, 24);
    const std::vector<uint8_t> keyPayload = EncodeZlib(key.data(), key.size(), 1);
    const std::vector<uint8_t> rect = EncodeBitmapFile(TPixels24(48, 16, 0x2040C0), 24);
    TRecordingWriter writer(made, 1024, 768);
    for (uint32_t t = 0; t < kHourMs; t += kStepMs) {
      if (t % kKeyEveryMs == 0)
        writer.AddFrame(t, ftKeyFrame, ckZlib, 0, 0, keyPayload);
      else
        writer.AddFrame(t, ftCopyRect, ckNone, static_cast<uint16_t>((t / kStepMs * 48) % 976),
                        static_cast<uint16_t>((t / 1000 * 16) % 752), rect);
    }
    writer.Finish();
    return made;
  }();
  return path;
}

void BM_SeekOneHourLocal(benchmark::State& state) {
  tool::THeadlessPlayer player;
  player.Open(HourFile().string());
  std::mt19937 random(1804);
  std::uniform_int_distribution<uint32_t> anywhere(0, kHourMs - kStepMs);
  std::vector<double> latencies;
  for (auto _ : state) {
    const uint32_t target = anywhere(random);
    const auto start = Clock::now();
    player.RenderAt(target);
    const double s = Seconds(Clock::now() - start);
    latencies.push_back(s);
    state.SetIterationTime(s);
  }
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) {
    return latencies[static_cast<size_t>(q * (latencies.size() - 1))];
  };
  state.counters["p50_ms"] = at(0.50) * 1e3;
  state.counters["p99_ms"] = at(0.99) * 1e3;
  state.counters["max_ms"] = latencies.back() * 1e3;
}
BENCHMARK(BM_SeekOneHourLocal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

// ---- (c) processor time of real-time playback and of a pause ----

void BM_SparsePlaybackCpu(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "kyv_bench_play_sparse.kyv";
  constexpr uint32_t kPlayMs = 20'000;
  {
    TPixels24 screen(1024, 768, 0x303030);
    const std::vector<uint8_t> key = EncodeBitmapFile(screen, 24);
    const std::vector<uint8_t> keyPayload = EncodeZlib(key.data(), key.size(), 1);
    const std::vector<uint8_t> rect = EncodeBitmapFile(TPixels24(16, 16, 0xE0E0E0), 24);
    TRecordingWriter writer(path, 1024, 768);
    for (uint32_t t = 0; t <= kPlayMs + 5000; t += 250) {  // four changes a second
      if (t % 10'000 == 0)
        writer.AddFrame(t, ftKeyFrame, ckZlib, 0, 0, keyPayload);
      else
        writer.AddFrame(t, ftCopyRect, ckNone, static_cast<uint16_t>(t / 250 % 60 * 16), 300, rect);
    }
    writer.Finish();
  }
  for (auto _ : state) {
    tool::THeadlessPlayer player;
    player.Open(path.string());
    TPlayThread& thread = player.Player();

    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = Clock::now();
    thread.RequestPlay();
    player.Pump(std::chrono::milliseconds(kPlayMs));
    const double playingCpu = ProcessCpuSeconds() - cpu0;
    const double playingWall = Seconds(Clock::now() - wall0);
    const uint32_t shown = thread.ShownCount();

    thread.RequestPause();
    const double cpu1 = ProcessCpuSeconds();
    const auto wall1 = Clock::now();
    player.Pump(5s);
    const double pausedCpu = ProcessCpuSeconds() - cpu1;
    const double pausedWall = Seconds(Clock::now() - wall1);

    // Decoding the frames shown, alone, for the "plus decoding" part.
    double decodeCpu = 0;
    {
      TFramesBuffer& frames = player.Context().Frames;
      TFramesBuffer::TGuard list(frames);
      const double d0 = ProcessCpuSeconds();
      for (int32_t i = 0; i < frames.Count() && i < static_cast<int32_t>(shown); ++i) {
        const TFrameView f = frames.Items(i);
        TDecoderLock lock;
        void* dest = nullptr;
        UnZipEx(f.Data().data(), static_cast<int32_t>(f.DataSize()), f.Header().Compression, dest,
                static_cast<int32_t>(kMaxDecodedBytes));
      }
      decodeCpu = ProcessCpuSeconds() - d0;
    }
    state.SetIterationTime(playingWall);
    state.counters["frames_shown"] = shown;
    state.counters["playing_cpu_pct"] = 100 * playingCpu / playingWall;
    state.counters["playing_cpu_s_per_min"] = playingCpu * 60 / playingWall;
    state.counters["decode_cpu_pct"] = 100 * decodeCpu / playingWall;
    state.counters["paused_cpu_pct"] = 100 * pausedCpu / pausedWall;
  }
}
BENCHMARK(BM_SparsePlaybackCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kyv

BENCHMARK_MAIN();
