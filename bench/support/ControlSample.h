#pragma once

#include <time.h>

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

}  // namespace kyv::bench
