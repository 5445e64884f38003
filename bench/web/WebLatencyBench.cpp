// A web recording across real latency: nginx behind the loopback latency proxy at 0, 50 and
// 100 ms round trip. Measures, on the headless player's road:
// - open: from Open to the play thread's existence, and to the first picture drawn;
// - seek: from a seek request to the target's picture (forward to 30 s, back to 10 s);
// each also in round trips; and how many bytes the server sent per byte of the recording played
// while playing forward.
//
// The recordings (a 1920x1080 minute and ten minutes at 1024x768, a key frame every five seconds)
// are made once per run.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "HeadlessPlayer.h"
#include "support/LatencyProxy.h"
#include "support/NginxServer.h"
#include "support/TempFolder.h"
#include "writer/RecordingFile.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// A recording in the served folder, with the time and file offset of every record, to turn a
// position into the bytes played up to it.
struct TServed {
  uint64_t FileSize = 0;
  std::vector<std::pair<uint32_t, uint64_t>> Records;

  void Make(const std::filesystem::path& Path, const TSampleOptions& Options) {
    FileSize = WriteSampleRecording(Path, Options).FileSize;
    const TRecordingFile file(Path);
    TFrameWalker walker(file, static_cast<uint64_t>(file.ReadHead().Header.IndexOffset));
    TWalkedRecord record;
    while (walker.Next(record)) Records.emplace_back(record.Header.Time, record.FileOffset);
  }

  // File offset of the first record after Time: what playing up to Time needs.
  uint64_t BytesUpTo(uint32_t Time) const {
    const auto after = std::upper_bound(Records.begin(), Records.end(), Time,
                                        [](uint32_t t, const auto& r) { return t < r.first; });
    return after == Records.end() ? FileSize : after->second;
  }
};

struct TSetup {
  std::unique_ptr<test::TTempFolder> Folder;
  std::unique_ptr<test::TNginxServer> Server;
  TServed Minute;  // one minute, 1920x1080
  TServed Long;    // ten minutes, 1024x768
};

TSetup& Setup() {
  static TSetup setup;
  return setup;
}

// Requests nginx has answered so far.
size_t Requests() {
  const std::string log = Setup().Server->AccessLog();
  return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

void AddRoundTrips(benchmark::State& state, const char* name, double ms, double rtt) {
  state.counters[std::string(name) + "_ms"] = ms;
  if (rtt > 0) state.counters[std::string(name) + "_rtt"] = ms / rtt;
}

// Arg: round trip in ms.
void BM_WebOpenAndSeek(benchmark::State& state) {
  const auto oneWay = std::chrono::milliseconds(state.range(0) / 2);
  const double rtt = static_cast<double>(state.range(0));
  test::TLatencyProxy proxy(Setup().Server->Port(), oneWay);
  if (!proxy.Started()) state.SkipWithError("the proxy does not start");
  double open = 0, first = 0, forward = 0, back = 0;
  const size_t requestsBefore = Requests();
  for (auto _ : state) {
    tool::THeadlessPlayer player;
    const auto t0 = Clock::now();
    player.Open(proxy.Url("minute.kyv"));
    const auto t1 = Clock::now();
    player.RenderAt(0);
    const auto t2 = Clock::now();
    player.RenderAt(30000);
    const auto t3 = Clock::now();
    player.RenderAt(10000);
    const auto t4 = Clock::now();
    open += Millis(t1 - t0);
    first += Millis(t2 - t0);
    forward += Millis(t3 - t2);
    back += Millis(t4 - t3);
    state.SetIterationTime(std::chrono::duration<double>(t4 - t0).count());
  }
  const double n = static_cast<double>(state.iterations());
  AddRoundTrips(state, "open", open / n, rtt);
  AddRoundTrips(state, "first_picture", first / n, rtt);
  AddRoundTrips(state, "seek_30s", forward / n, rtt);
  AddRoundTrips(state, "seek_back_10s", back / n, rtt);
  state.counters["connections"] = static_cast<double>(proxy.Connections()) / n;
  state.counters["requests"] = static_cast<double>(Requests() - requestsBefore) / n;
}
BENCHMARK(BM_WebOpenAndSeek)
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Arg: round trip in ms. Plays a ten-minute recording at eight times its speed; once the
// reader's first fill of the frames buffer is over, compares the bytes the server sends with the
// bytes of the recording played in the same time.
void BM_WebPlayBytes(benchmark::State& state) {
  const auto oneWay = std::chrono::milliseconds(state.range(0) / 2);
  test::TLatencyProxy proxy(Setup().Server->Port(), oneWay);
  if (!proxy.Started()) state.SkipWithError("the proxy does not start");
  double ratio = 0, played = 0, sent = 0;
  for (auto _ : state) {
    tool::THeadlessPlayer player;
    player.Open(proxy.Url("long.kyv"));
    player.RenderAt(0);
    player.Play(8);
    player.Pump(8s);
    const uint32_t from = player.Player().LastSampleTime();
    const uint64_t before = proxy.BytesFromServer();
    player.Pump(20s);
    const uint32_t to = player.Player().LastSampleTime();
    const uint64_t after = proxy.BytesFromServer();
    player.Close();
    const double p = static_cast<double>(Setup().Long.BytesUpTo(to) - Setup().Long.BytesUpTo(from));
    const double s = static_cast<double>(after - before);
    played += p;
    sent += s;
    ratio += s / std::max(p, 1.0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["played_MB"] = played / n / 1e6;
  state.counters["sent_MB"] = sent / n / 1e6;
  state.counters["sent_over_played"] = ratio / n;
}
BENCHMARK(BM_WebPlayBytes)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kyv::TSetup& setup = kyv::Setup();
  setup.Folder = std::make_unique<kyv::test::TTempFolder>("kyv_bench_web");
  ::setenv("KYV_LOG_DIR", setup.Folder->Path().c_str(), 1);
  kyv::TSampleOptions options;
  options.Width = 1920;
  options.Height = 1080;
  options.Seconds = 60;
  options.NailInterval = 0;
  setup.Minute.Make(setup.Folder->Path() / "minute.kyv", options);
  options.Width = 1024;
  options.Height = 768;
  options.Seconds = 600;
  setup.Long.Make(setup.Folder->Path() / "long.kyv", options);
  setup.Server = std::make_unique<kyv::test::TNginxServer>(setup.Folder->Path());
  if (!setup.Server->Started()) {
    std::fprintf(stderr, "bench_web: nginx is not available: %s\n", setup.Server->Reason().c_str());
    return 0;
  }
  std::printf("recordings: %.1f MB (1080p minute), %.1f MB (ten minutes)\n",
              static_cast<double>(setup.Minute.FileSize) / 1e6,
              static_cast<double>(setup.Long.FileSize) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  setup.Server.reset();
  setup.Folder.reset();
  return 0;
}
