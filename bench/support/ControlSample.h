#pragma once

#include <time.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "writer/SampleRecording.h"

namespace kyv::bench {

// Processor time of the whole process (all its threads), in seconds.
inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The built-in sample (1024x768, 20 s, no thumbnails), written once into $TMPDIR and reused by
// later runs, so the control's benchmarks measure the same recording.
inline const std::string& ControlSample() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() / "kyv_bench_control";
    const auto file = dir / "sample.kyv";
    if (!std::filesystem::exists(file)) {
      std::filesystem::create_directories(dir);
      TSampleOptions options;
      options.NailInterval = 0;
      WriteSampleRecording(file, options);
    }
    return file.string();
  }();
  return path;
}

// Processor time over wall time of what Measure runs, summed over its calls: processor seconds
// the whole process spent (every thread counted) per second played.
struct TCpuMeter {
  double Cpu = 0, Wall = 0;
  template <class TPlay>
  void Measure(TPlay Play) {
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    Play();
    Cpu += ProcessCpuSeconds() - cpu0;
    Wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  }
  double PerSecond() const { return Wall > 0 ? Cpu / Wall : 0; }
};

}  // namespace kyv::bench
