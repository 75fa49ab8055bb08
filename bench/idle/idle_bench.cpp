// The program as a shop runs it, left alone: qanocontrol on a virtual display of its own (Xvfb),
// in a Wine-style prefix laid out like the demo's (the shop's databases, the log folder, the
// exchange folder) but with no archive. Once its window shows, it is watched for 120 s:
//   CPU time    utime + stime from /proc/<pid>/stat (10 ms steps), and the run time in ns
//               that /proc/<pid>/task/*/schedstat gives;
//   wake-ups    voluntary + nonvoluntary context switches of all its threads
//               (/proc/<pid>/task/*/status), against the ticks of its 5 s timer;
//   memory      VmRSS and VmHWM from /proc/<pid>/status.
// Targets: under 50 ms of CPU in 120 s, at most 2 wake-ups per 5 s tick period beyond the tick
// itself, under 12 MiB resident.
// Usage: idle_bench [SECONDS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "bench/support/bench_support.h"
#include "tools/dev/kit/program.h"
#include "tools/dev/kit/shop.h"
#include "tools/dev/kit/temp_prefix.h"
#include "tools/dev/kit/x11_client.h"
#include "tools/dev/kit/xvfb.h"

namespace {

namespace fs = std::filesystem;
using namespace qano;

struct Sample {
  double cpu_seconds = 0;  // utime + stime
  double run_seconds = 0;  // schedstat
  long switches = 0;       // voluntary + nonvoluntary, all threads
  long rss_kb = 0;
  long hwm_kb = 0;
};

std::string read(const fs::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Sample sample(long pid) {
  Sample s;
  fs::path proc = "/proc/" + std::to_string(pid);
  std::string stat = read(proc / "stat");
  std::istringstream rest(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; rest >> field; ++i) {  // fields 14 and 15: utime, stime
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  s.cpu_seconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  for (const auto& task : fs::directory_iterator(proc / "task")) {
    std::istringstream sched(read(task.path() / "schedstat"));
    long long ns = 0;
    sched >> ns;
    s.run_seconds += static_cast<double>(ns) / 1e9;
    std::istringstream status(read(task.path() / "status"));
    for (std::string line; std::getline(status, line);) {
      for (const char* name : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        if (line.rfind(name, 0) == 0) s.switches += std::stol(line.substr(std::strlen(name)));
      }
    }
  }
  s.rss_kb = bench::status_field(pid, "VmRSS:");
  s.hwm_kb = bench::status_field(pid, "VmHWM:");
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 120;
  testing::TempPrefix prefix;
  fs::path c = prefix.c();
  testing::write_shop_drive(c);
  fs::create_directories(c / "programmi" / "winzip");

  testing::Xvfb xvfb;
  auto launched = std::chrono::steady_clock::now();
  testing::Program program(
      QANOCONTROL, c / "super",
      {{"DISPLAY", xvfb.display()}, {"WINEPREFIX", prefix.prefix()}, {"LC_ALL", "C.UTF-8"}},
      prefix.root() / "stderr.txt");
  bool shown = testing::eventually(
      [&] { return testing::find_window(xvfb.display(), "B") != 0 || !program.running(); }, 30);
  if (!shown || !program.running()) {
    std::fprintf(stderr, "the window did not show:\n%s\n",
                 testing::read_file(prefix.root() / "stderr.txt").c_str());
    return 2;
  }
  double to_window =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - launched).count();
  // Start-up is over and the window drawn; from here on nothing happens but the ticks.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Sample before = sample(program.pid());
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  if (!program.running()) {
    std::fprintf(stderr, "the program ended while idle\n");
    return 2;
  }
  Sample after = sample(program.pid());
  double cpu = after.cpu_seconds - before.cpu_seconds;
  double run = after.run_seconds - before.run_seconds;
  long wakeups = after.switches - before.switches;
  double periods = seconds / 5;
  double extra = (static_cast<double>(wakeups) - periods) / periods;

  double cpu_limit = 0.050 * seconds / 120;
  bool cpu_met = run < cpu_limit && cpu < cpu_limit;
  bool wake_met = extra <= 2;
  bool rss_met = after.hwm_kb < 12 * 1024;
  std::printf("%-44s %16s %20s %s\n", "qanocontrol idle, no archive", "measured", "target", "");
  std::printf("%-44s %13.1f ms %20s\n", "start to window shown (start-up, drawing)",
              to_window * 1e3, "");
  std::printf("%-44s %13.1f ms %20s\n", "CPU at start (utime+stime, window shown)",
              before.cpu_seconds * 1e3, "");
  std::printf("%-44s %13.1f ms %20s %s\n",
              ("CPU in " + std::to_string(static_cast<int>(seconds)) + " s (utime+stime)").c_str(),
              cpu * 1e3, "< 50 ms / 120 s", cpu < cpu_limit ? "met" : "MISSED");
  std::printf("%-44s %13.2f ms %20s %s\n", "run time in that span (schedstat)", run * 1e3,
              "< 50 ms / 120 s", run < cpu_limit ? "met" : "MISSED");
  std::printf("%-44s %16ld %20s\n", "wake-ups (context switches)", wakeups, "");
  std::printf("%-44s %16.0f %20s\n", "timer ticks (5 s)", periods, "");
  std::printf("%-44s %16.2f %20s %s\n", "wake-ups per tick period beyond the tick", extra, "<= 2",
              wake_met ? "met" : "MISSED");
  std::printf("%-44s %13.1f MiB %20s\n", "VmRSS at the end", after.rss_kb / 1024.0, "");
  std::printf("%-44s %13.1f MiB %20s %s\n", "VmHWM (peak resident)", after.hwm_kb / 1024.0,
              "< 12 MiB", rss_met ? "met" : "MISSED");
  return cpu_met && wake_met && rss_met ? 0 : 1;
}
