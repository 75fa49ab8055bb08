// The intake's look for an archive, dir("C:\qano\acq_*.zip") of the Linux platform, in an
// exchange folder that holds one archive among 1,000, 10,000 and 100,000 other files, against
//   find <folder> -maxdepth 1 -iname 'acq_*.zip'   as a whole process,
// and, to compare the scanning alone, find on an empty folder (what starting find costs).
// Prints Google Benchmark's table (medians of repetitions), then the comparison: the ratios and
// the cost per file in the folder.
// Usage: scan_bench [--benchmark_...]
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "platform/posix/posix_platform.h"
#include "tools/dev/kit/temp_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace qano;

const std::vector<int> kSizes = {1000, 10000, 100000};
constexpr const char* kPattern = "C:\\qano\\acq_*.zip";

struct Folder {
  std::unique_ptr<testing::TempPrefix> prefix = std::make_unique<testing::TempPrefix>();
  fs::path qano() const { return prefix->c() / "qano"; }
};
std::vector<Folder> g_folders;  // one per size, in the order of kSizes
testing::TempPrefix g_empty;

// `others` files that the pattern does not take (some of them close to it), and one archive.
void fill(const fs::path& folder, int others) {
  fs::create_directories(folder);
  const char* forms[] = {"art_%06d.dat", "acq_%06d.txt", "ACQ%06d.zip", "x_acq_%06d.zip"};
  for (int i = 0; i < others; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, forms[i % 4], i);
    int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::close(fd);
  }
  std::FILE* f = std::fopen((folder / "ACQ_0001.zip").c_str(), "w");
  std::fputs("PK\x03\x04", f);
  std::fclose(f);
}

void dir(benchmark::State& state, const Folder* folder) {
  PosixPlatform platform(PosixOptions{folder->prefix->prefix(), "C"});
  for (auto _ : state) {
    std::string name = platform.dir(kPattern);
    if (name != "ACQ_0001.zip") state.SkipWithError("dir() did not find the archive");
    benchmark::DoNotOptimize(name);
  }
}

void find(benchmark::State& state, fs::path folder) {
  bench::Command command{
      {"find", folder.string(), "-maxdepth", "1", "-iname", "acq_*.zip"}, "/dev/null", {}, {}};
  for (auto _ : state) {
    if (bench::run(command) != 0) state.SkipWithError("find failed");
  }
}

std::string name(const char* what, int size) {
  return std::string(what) + "/" + std::to_string(size);
}

}  // namespace

int main(int argc, char** argv) {
  g_folders.resize(kSizes.size());
  for (std::size_t i = 0; i < kSizes.size(); ++i) fill(g_folders[i].qano(), kSizes[i]);
  fs::create_directories(g_empty.c() / "qano");

  auto options = [](benchmark::internal::Benchmark* b) {
    b->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.2)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  };
  options(benchmark::RegisterBenchmark("find/empty", find, g_empty.c() / "qano"));
  for (std::size_t i = 0; i < kSizes.size(); ++i) {
    options(benchmark::RegisterBenchmark(name("dir", kSizes[i]).c_str(), dir, &g_folders[i]));
    options(
        benchmark::RegisterBenchmark(name("find", kSizes[i]).c_str(), find, g_folders[i].qano()));
  }
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  double start = reporter.seconds("find/empty");
  bool all_met = true;
  std::printf("\n%-8s %11s %11s %11s %8s %8s %11s %11s  %s\n", "files", "dir()", "find",
              "find scan", "ratio", "ratio2", "dir()/file", "find/file", "target");
  for (int size : kSizes) {
    double ours = reporter.seconds(name("dir", size));
    double theirs = reporter.seconds(name("find", size));
    if (ours <= 0 || theirs <= 0) continue;
    double scan = theirs - start;
    bool met = ours <= theirs;
    all_met = all_met && met;
    std::printf("%-8d %11s %11s %11s %7.2fx %7.2fx %8.1f ns %8.1f ns  %s\n", size,
                bench::duration(ours).c_str(), bench::duration(theirs).c_str(),
                bench::duration(scan).c_str(), ours / theirs, ours / scan, ours / size * 1e9,
                scan / size * 1e9, met ? "met" : "MISSED");
  }
  std::printf(
      "(dir() in this process; find as a process, find scan = find - find on an empty folder "
      "(%s);\n ratio = dir() / find, target <= 1x; ratio2 = dir() / find scan; per file: the "
      "cost divided by the files in the folder)\n",
      bench::duration(start).c_str());
  g_folders.clear();
  return all_met ? 0 : 1;
}
