// The player control without a toolkit on the built-in sample (1024x768, 20 s): the time from
// Open to the first changed picture, and the processor time of real-time playback inside the
// control beside kyvtool's headless player on the same recording (goal: within 1.2x).
//
// The sample is written once into $TMPDIR and reused by later runs.

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>

#include "ControlSample.h"
#include "HeadlessPlayer.h"
#include "control/PlayerControl.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;

using bench::ControlSample;
using bench::TCpuMeter;

// Counts the changed areas the control hands to its views.
struct TCountingViews : IPlayerViews {
  int Repaints = 0;
  void RepaintRect(const TRect&) override { ++Repaints; }
};

void BM_OpenToFirstPicture(benchmark::State& state) {
  const std::string& sample = ControlSample();
  TCountingViews views;
  TPlayerControl control;
  control.SetViews(&views);
  for (auto _ : state) {
    views.Repaints = 0;
    control.Open(sample);
    if (!control.Pump(30s, [&] { return views.Repaints > 0; })) {
      state.SkipWithError("no picture within 30 s");
      return;
    }
    state.PauseTiming();
    control.Close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenToFirstPicture)->Unit(benchmark::kMillisecond)->UseRealTime();

// Playback for kPlayFor in real time: the processor time per second played, reported as
// "cpu_per_s" (processor seconds the whole process spent, every thread counted).
constexpr auto kPlayFor = 4s;

void BM_PlayInsideTheControl(benchmark::State& state) {
  const std::string& sample = ControlSample();
  TCountingViews views;
  TPlayerControl control;
  control.SetViews(&views);
  TCpuMeter meter;
  for (auto _ : state) {
    control.Open(sample);
    control.Pump(30s, [&] { return control.Status() == vpPlaying; });
    meter.Measure([&] { control.Pump(kPlayFor); });
    control.Close();
  }
  state.counters["cpu_per_s"] = meter.PerSecond();
}
BENCHMARK(BM_PlayInsideTheControl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_PlayHeadless(benchmark::State& state) {
  const std::string& sample = ControlSample();
  TCpuMeter meter;
  for (auto _ : state) {
    tool::THeadlessPlayer player;
    int repaints = 0;  // the same work per changed area as the control's views
    tool::THeadlessPlayer::TListener listener;
    listener.Dirty = [&](const TRect&) { ++repaints; };
    player.SetListener(std::move(listener));
    player.Open(sample);
    player.Play();
    meter.Measure([&] { player.Pump(kPlayFor); });
    player.Close();
  }
  state.counters["cpu_per_s"] = meter.PerSecond();
}
BENCHMARK(BM_PlayHeadless)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace kyv

BENCHMARK_MAIN();
