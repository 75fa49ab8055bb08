// One look of the intake over a sender's backlog: 1,000 and 10,000 archives waiting in C:\qano
// on the Linux platform. "survey" is qanocheck's view of every archive; "run" is the look of
// elaboro_Divulgazioni that claims the first archive and starts its script (a stand-in wine that
// ends at once), put back between iterations. The look reads the folder once and stops at the
// first archive it can take, so its cost grows with the folder, never with its square; the
// target is one look in well under 100 ms at 10,000 archives (the window waits for it).
// Usage: look_bench [--benchmark_...]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "intake/archive_intake.h"
#include "platform/posix/posix_platform.h"
#include "tools/dev/kit/temp_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace qano;

const std::vector<int> kSizes = {1000, 10000};
constexpr double kTarget = 0.1;  // seconds

struct Folder {
  std::unique_ptr<testing::TempPrefix> prefix = std::make_unique<testing::TempPrefix>();
  fs::path qano() const { return prefix->c() / "qano"; }
};
std::vector<Folder> g_folders;  // one per size, in the order of kSizes

// `archives` archives that arrived an hour ago, and the invoices folder.
void fill(const fs::path& folder, int archives) {
  fs::create_directories(folder / "fatture");
  auto old = std::chrono::system_clock::now() - std::chrono::hours(1);
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::chrono::system_clock::to_time_t(old);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  for (int i = 0; i < archives; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "acq_%06d.zip", i);
    int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) continue;
    [[maybe_unused]] ssize_t n = ::write(fd, "PK\x03\x04", 4);
    ::futimens(fd, times);
    ::close(fd);
  }
}

void survey(benchmark::State& state, const Folder* folder) {
  PosixPlatform platform(PosixOptions{folder->prefix->prefix(), "C"});
  ArchiveIntake intake(platform);
  for (auto _ : state) {
    std::vector<intake::ArchiveFate> fates = intake.survey();
    if (fates.empty() || fates.front().fate != intake::Fate::next) {
      state.SkipWithError("the first archive is not the next one");
    }
    benchmark::DoNotOptimize(fates);
  }
}

void run(benchmark::State& state, const Folder* folder) {
  PosixPlatform platform(PosixOptions{folder->prefix->prefix(), "C"});
  fs::path work = folder->qano() / "qanocontrol";
  for (auto _ : state) {
    ArchiveIntake intake(platform);
    intake.run([] {});
    state.PauseTiming();
    // The claimed archive goes back where it came from.
    bool claimed = false;
    for (const auto& claim : fs::directory_iterator(work)) {
      if (claim.path().filename() == "archiviati") continue;
      for (const auto& file : fs::directory_iterator(claim.path())) {
        fs::rename(file.path(), folder->qano() / file.path().filename());
        claimed = true;
      }
      fs::remove(claim.path());
    }
    // The script's stand-in has ended and let go of agglis.bat before the next look.
    for (int i = 0; i < 5000; ++i) {
      std::optional<FileFacts> script = platform.file_facts("C:\\qano\\agglis.bat");
      if (!script || !script->in_use) break;
      ::usleep(1000);
    }
    state.ResumeTiming();
    if (!claimed) {
      state.SkipWithError("the look claimed nothing");
      break;
    }
  }
}

std::string name(const char* what, int size) {
  return std::string(what) + "/" + std::to_string(size);
}

}  // namespace

int main(int argc, char** argv) {
  // The stand-in wine: /bin/true under that name, first on PATH.
  testing::TempPrefix tools;
  fs::path bin = tools.root() / "bin";
  fs::create_directories(bin);
  fs::create_symlink("/bin/true", bin / "wine");
  std::string path = bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
  ::setenv("PATH", path.c_str(), 1);

  g_folders.resize(kSizes.size());
  for (std::size_t i = 0; i < kSizes.size(); ++i) fill(g_folders[i].qano(), kSizes[i]);
  auto options = [](benchmark::internal::Benchmark* b) {
    b->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  };
  for (std::size_t i = 0; i < kSizes.size(); ++i) {
    options(benchmark::RegisterBenchmark(name("survey", kSizes[i]).c_str(), survey, &g_folders[i]));
    options(benchmark::RegisterBenchmark(name("run", kSizes[i]).c_str(), run, &g_folders[i]));
  }
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  bool all_met = true;
  std::printf("\n%-9s %11s %11s %11s %11s  %s\n", "archives", "survey", "run", "run/archive",
              "target", "");
  for (int size : kSizes) {
    double s = reporter.seconds(name("survey", size));
    double r = reporter.seconds(name("run", size));
    bool met = s > 0 && r > 0 && s < kTarget && r < kTarget;
    all_met = all_met && met;
    std::printf("%-9d %11s %11s %8.1f us %11s  %s\n", size, bench::duration(s).c_str(),
                bench::duration(r).c_str(), r / size * 1e6, bench::duration(kTarget).c_str(),
                met ? "met" : "MISSED");
  }
  g_folders.clear();
  return all_met ? 0 : 1;
}
