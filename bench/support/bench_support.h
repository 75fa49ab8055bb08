// What the benchmarks share: a command run as a whole process (as a shop's machine would run it),
// the process-wide figures that /proc gives, and a reporter that keeps the median of repeated
// Google Benchmark runs so that the comparison tables use figures robust against a busy machine.
#pragma once

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qano::bench {

struct Command {
  std::vector<std::string> argv;              // argv[0] is looked up on PATH
  std::filesystem::path input = "/dev/null";  // standard input
  std::filesystem::path folder;               // working folder; empty: this one
  std::vector<std::string> environment;       // NAME=value added to this process's environment
};

// Runs the command to its end with its output discarded; its exit status (-1 when it could not be
// started or a signal ended it).
int run(const Command& command);

// A line of /proc/<pid>/status ("VmRSS:"), as a number (kB for the memory lines); -1 if missing.
long status_field(long pid, const std::string& field);
// The entries of /proc/self/fd.
int open_descriptors();
// The process ids whose parent is this process (running, or ended and not yet reaped).
std::vector<long> child_processes();

// Google Benchmark's console table, plus the median real time (seconds) of every benchmark run
// with repetitions, or its only time without.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  double seconds(const std::string& name) const;

 private:
  std::map<std::string, double> seconds_;
};

// The figure as "1.234 ms" / "12.3 us" / "1.23 s".
std::string duration(double seconds);

}  // namespace qano::bench
