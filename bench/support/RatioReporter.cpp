#include "RatioReporter.h"

#include <cstdio>

namespace bench {

void TRatioReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred || run.iterations == 0) continue;
    const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (!single && !median) continue;
    std::string name = run.run_name.function_name;
    if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
    FTimes[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
  }
  ConsoleReporter::ReportRuns(runs);
}

double TRatioReporter::CpuTime(const std::string& name) const {
  const auto it = FTimes.find(name);
  return it == FTimes.end() ? 0.0 : it->second.Cpu;
}

double TRatioReporter::RealTime(const std::string& name) const {
  const auto it = FTimes.find(name);
  return it == FTimes.end() ? 0.0 : it->second.Real;
}

double TRatioReporter::Ratio(const std::string& subject, const std::string& peer) const {
  const double s = CpuTime(subject), p = CpuTime(peer);
  return s > 0 && p > 0 ? s / p : 0.0;
}

bool PrintRatio(const TRatioReporter& reporter, const char* what, const std::string& subject,
                const std::string& peer, double target) {
  const double ratio = reporter.Ratio(subject, peer);
  if (ratio == 0) return true;
  std::printf("%-40s %6.2f x peer (target <= %.0f): %s\n", what, ratio, target,
              ratio <= target ? "met" : "MISSED");
  return ratio <= target;
}

bool RunBenchmarks(int& argc, char** argv, TRatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n");
  return true;
}

}  // namespace bench
