// The control with its Qt form, shown on Qt's offscreen platform (unless QT_QPA_PLATFORM names
// another), on the built-in sample (1024x768, 20 s): the time from Open to the first paint of
// the picture, and the processor time of real-time playback inside the form beside kyvtool's
// headless player on the same recording (goal: within 1.2x). Messages and timers run on Qt's
// loop, as in a host.
//
// The sample is written once into $TMPDIR and reused by later runs.

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>

#include "ControlSample.h"
#include "HeadlessPlayer.h"
#include "com/Bstr.h"
#include "control/KyvPlayerObject.h"
#include "picture/PictureLayout.h"
#include "ui/DetailFrame.h"
#include "ui/QtControlForm.h"

namespace kyv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using bench::ControlSample;
using bench::TCpuMeter;

// Runs Qt's loop until Done or Timeout; false on the time-out.
bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
  const auto deadline = Clock::now() + Timeout;
  while (!Done()) {
    if (Clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

void RunFor(std::chrono::milliseconds Time) {
  QEventLoop loop;
  QTimer::singleShot(Time, &loop, &QEventLoop::quit);
  loop.exec();
}

// A control with its form on screen.
struct TShownControl {
  TShownControl()
      : Object(com::MakeCom<TKyvPlayerObject>(std::string(), &TQtControlForm::Make)),
        Ctrl(*static_cast<TQtControlForm&>(Object->Form()).Ctrl()) {
    Ctrl.show();
    RunFor(50ms);
  }
  void Open() { Object->Open(com::TBstr::FromUtf8(ControlSample()).Get()); }

  com::TComPtr<TKyvPlayerObject> Object;
  TKyvPlayerCtrl& Ctrl;
};

// Notes when the picture is painted with something of the recording in it.
struct TPaintWatch : QObject {
  explicit TPaintWatch(TDetailFrame& Detail) : FDetail(Detail) {
    Detail.Picture().installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* Event) override {
    const TDib& bitmap = FDetail.Picture().Bitmap();
    if (Event->type() == QEvent::Paint && !bitmap.IsEmpty() &&
        bitmap.Colour(bitmap.Width() / 2, bitmap.Height() / 2) != kBlankPictureColour)
      Painted = true;
    return false;
  }
  TDetailFrame& FDetail;
  bool Painted = false;
};

void BM_OpenToFirstPaint(benchmark::State& state) {
  TShownControl shown;
  TPaintWatch watch(shown.Ctrl.frmDetail());
  for (auto _ : state) {
    watch.Painted = false;
    shown.Open();
    if (!RunUntil([&] { return watch.Painted; }, 30s)) {
      state.SkipWithError("no picture within 30 s");
      return;
    }
    state.PauseTiming();
    shown.Object->Close();
    RunFor(20ms);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// Playback for kPlayFor in real time: the processor time per second played, reported as
// "cpu_per_s" (processor seconds the whole process spent, every thread counted).
constexpr auto kPlayFor = 4s;

TCpuMeter gForm, gHeadless;

void BM_PlayInsideTheForm(benchmark::State& state) {
  TShownControl shown;
  for (auto _ : state) {
    shown.Open();
    RunUntil([&] { return shown.Object->Control().Status() == vpPlaying; }, 30s);
    gForm.Measure([&] { RunFor(kPlayFor); });
    shown.Object->Close();
  }
  state.counters["cpu_per_s"] = gForm.PerSecond();
}
BENCHMARK(BM_PlayInsideTheForm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_PlayHeadless(benchmark::State& state) {
  for (auto _ : state) {
    tool::THeadlessPlayer player;
    tool::THeadlessPlayer::TListener listener;
    listener.Dirty = [](const TRect&) {};
    player.SetListener(std::move(listener));
    player.Open(ControlSample());
    player.Play();
    gHeadless.Measure([&] { player.Pump(kPlayFor); });
    player.Close();
  }
  state.counters["cpu_per_s"] = gHeadless.PerSecond();
}
BENCHMARK(BM_PlayHeadless)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace kyv

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (kyv::gHeadless.PerSecond() > 0 && kyv::gForm.PerSecond() > 0)
    std::printf("\nprocessor per second played: form %.4f s, headless %.4f s, ratio %.2f\n",
                kyv::gForm.PerSecond(), kyv::gHeadless.PerSecond(),
                kyv::gForm.PerSecond() / kyv::gHeadless.PerSecond());
  benchmark::Shutdown();
  return 0;
}
