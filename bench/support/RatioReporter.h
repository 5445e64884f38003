#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kyv::bench {

// Prints as usual and keeps each benchmark's time for a summary of ratios: the median when the
// run was repeated (--benchmark_repetitions), which a busy machine needs.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        FMedians[name] = run.GetAdjustedRealTime();
        FCpuMedians[name] = run.GetAdjustedCPUTime();
      } else if (run.run_type == Run::RT_Iteration) {
        FTimes[name] = run.GetAdjustedRealTime();
        FCpuTimes[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The wall time of a benchmark in its time unit; 0 when it did not run.
  double Time(const std::string& name) const { return Find(FMedians, FTimes, name); }
  // The CPU time of the benchmark's thread: steadier than wall time on a shared machine, for
  // work that runs on that thread alone.
  double CpuTime(const std::string& name) const { return Find(FCpuMedians, FCpuTimes, name); }

 private:
  using TTimes = std::map<std::string, double>;
  static double Find(const TTimes& medians, const TTimes& times, const std::string& name) {
    if (auto m = medians.find(name); m != medians.end()) return m->second;
    if (auto t = times.find(name); t != times.end()) return t->second;
    return 0;
  }

  TTimes FMedians, FTimes, FCpuMedians, FCpuTimes;
};

// A benchmark program's main: runs the benchmarks the command line picks, then Summary.
inline int RunWithSummary(int argc, char** argv,
                          const std::function<void(const TRatioReporter&)>& Summary) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Summary(reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kyv::bench
