// A long day of the intake: start-up once, then 20,000 intakes driven through Form1's
// elaboro_Divulgazioni on the Linux platform, in a Wine-style prefix with the shop's databases,
// with a stand-in `wine` on PATH that ends at once (it stands for the script and the companion).
// Archives arrive all along: one before three intakes out of four. After each intake that took
// one, this program plays the script's part once the script process has ended, keeping the
// claimed archive among the filed ones and filing its invoices, and then the suite's part: it
// takes the invoices.
// Every 2,000 intakes (and after the first 100) it prints the resident memory, the open
// descriptors and the child processes of this process; the target is the same figures at the
// end as after the first 2,000 intakes, once the allocator and the kept archives' folder have
// warmed up (the figure after 100 is printed for comparison).
// Usage: soak_bench [INTAKES]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "app/form1.h"
#include "bench/support/bench_support.h"
#include "platform/host_platform.h"
#include "platform/posix/posix_platform.h"
#include "tools/dev/kit/shop.h"
#include "tools/dev/kit/temp_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace qano;

struct NoHost : WindowHost {
  void unload() override {}
};

struct Figures {
  long rss_kb = 0;
  int descriptors = 0;
  std::size_t children = 0;
};

Figures figures() {
  return {bench::status_field(::getpid(), "VmRSS:"), bench::open_descriptors(),
          bench::child_processes().size()};
}

// Whether every child has ended (an ended child that is not reaped yet counts as ended).
bool children_ended() {
  for (long pid : bench::child_processes()) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z') {
      return false;
    }
  }
  return true;
}

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int intakes = argc > 1 ? std::atoi(argv[1]) : 20000;
  testing::TempPrefix prefix;
  fs::path c = prefix.c();
  testing::write_shop_drive(c);

  // The stand-in wine: /bin/true under that name, first on PATH.
  fs::path bin = prefix.root() / "bin";
  fs::create_directories(bin);
  fs::create_symlink("/bin/true", bin / "wine");
  std::string path = bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
  ::setenv("PATH", path.c_str(), 1);

  testing::WorkingDirectory here(c / "super");
  PosixPlatform platform(PosixOptions{prefix.prefix(), "C"});
  platform.set_jet_engine(make_host_jet_engine());
  SessionSettings settings;
  NoHost host;
  Form1 form(platform, settings, host);
  form.Form_Load();
  if (form.startup_end() != StartupEnd::complete) {
    std::fprintf(stderr, "start-up did not complete\n");
    return 2;
  }

  std::printf("%-8s %8s %12s %12s %9s\n", "intakes", "taken", "VmRSS", "descriptors", "children");
  Figures settled;
  int taken = 0;
  auto started = std::chrono::steady_clock::now();
  for (int i = 1; i <= intakes; ++i) {
    fs::path archive = c / "qano" / ("acq_" + std::to_string(i) + ".zip");
    bool arrives = i % 4 != 0;
    if (arrives) {
      write(archive, "PK\x03\x04 archive " + std::to_string(i));
      fs::last_write_time(archive, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    fs::remove(c / "qano" / "agglis.bat");
    form.elaboro_Divulgazioni();
    if (arrives) {
      if (!fs::exists(c / "qano" / "agglis.bat")) {
        std::fprintf(stderr, "intake %d did not take %s\n", i, archive.c_str());
        return 2;
      }
      ++taken;
      // The script has run: the unpacked file is left, the archive goes.
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!children_ended() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      for (const auto& claim : fs::directory_iterator(c / "qano" / "qanocontrol")) {
        std::string id = claim.path().filename();
        if (id == "archiviati") continue;
        for (const auto& claimed : fs::directory_iterator(claim.path())) {
          fs::rename(claimed.path(), c / "qano" / "qanocontrol" / "archiviati" /
                                         (id + "_" + claimed.path().filename().string()));
        }
      }
      write(c / "qano" / "fatture" / "acq_var.txt", "unpacked " + std::to_string(i));
      fs::remove(c / "qano" / "fatture" / "acq_var.txt");
    }
    if (i == 100 || i % 2000 == 0 || i == intakes) {
      Figures f = figures();
      if (i == std::min(2000, intakes)) settled = f;
      std::printf("%-8d %8d %9ld kB %12d %9zu\n", i, taken, f.rss_kb, f.descriptors, f.children);
      std::fflush(stdout);
    }
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  Figures end = figures();
  bool same = end.rss_kb <= settled.rss_kb && end.descriptors == settled.descriptors &&
              end.children == settled.children;
  std::printf(
      "\n%d intakes (%d archives taken) in %.1f s, %.2f ms each\n"
      "at the end against after 2,000 intakes: VmRSS %+ld kB, descriptors %+d, children %+ld: %s\n",
      intakes, taken, seconds, seconds / intakes * 1e3, end.rss_kb - settled.rss_kb,
      end.descriptors - settled.descriptors,
      static_cast<long>(end.children) - static_cast<long>(settled.children),
      same ? "met" : "MISSED");
  return same ? 0 : 1;
}
