// The one reporter of the benchmarks: the console output, and each benchmark's time per iteration for the
// ratios printed after the run. CPU time is what the ratios use: on a shared machine the wall-clock time
// mostly measures the other processes. A repeated benchmark counts with the median of its repetitions.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // CPU (or real) time per iteration of the benchmark named by its function and arguments ("BM_Read/1"),
  // 0 when it did not run.
  double CpuTime(const std::string& name) const;
  double RealTime(const std::string& name) const;
  // Subject's CPU time over peer's; 0 when either did not run.
  double Ratio(const std::string& subject, const std::string& peer) const;

 private:
  struct TTimes {
    double Real = 0, Cpu = 0;
  };
  std::map<std::string, TTimes> FTimes;
};

// Runs the benchmarks that the command line selects with Reporter, as a benchmark program's main does, and
// prints an empty line after them; false (after a message) when the command line has arguments Google
// Benchmark does not know.
bool RunBenchmarks(int& argc, char** argv, TRatioReporter& reporter);

// Prints "what  ratio x peer (target <= target): met|MISSED" and returns whether the target was met; prints
// nothing and returns true when either benchmark did not run.
bool PrintRatio(const TRatioReporter& reporter, const char* what, const std::string& subject,
                const std::string& peer, double target);

}  // namespace bench
