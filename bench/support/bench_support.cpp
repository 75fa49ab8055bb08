#include "bench/support/bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace qano::bench {

namespace fs = std::filesystem;

int run(const Command& command) {
  std::vector<std::string> args = command.argv;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = std::any_of(command.environment.begin(), command.environment.end(),
                                [&](const std::string& v) { return v.rfind(name, 0) == 0; });
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), command.environment.begin(), command.environment.end());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, command.input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!command.folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, command.folder.c_str());
  }
  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long status_field(long pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

int open_descriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n - 1;  // the directory iterator's own descriptor
}

std::vector<long> child_processes() {
  // Each thread's children, as the kernel lists them.
  std::vector<long> children;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::ifstream in(task.path() / "children");
    for (long pid = 0; in >> pid;) children.push_back(pid);
  }
  return children;
}

void MedianReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& r : runs) {
    bool only = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
    bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
    if (only || median) {
      // Real time per iteration, in the run's unit; back to seconds.
      seconds_[r.run_name.function_name] =
          r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

double MedianReporter::seconds(const std::string& name) const {
  auto it = seconds_.find(name);
  return it == seconds_.end() ? 0 : it->second;
}

std::string duration(double seconds) {
  char buffer[32];
  if (seconds >= 1) {
    std::snprintf(buffer, sizeof buffer, "%.2f s", seconds);
  } else if (seconds >= 1e-3) {
    std::snprintf(buffer, sizeof buffer, "%.2f ms", seconds * 1e3);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f us", seconds * 1e6);
  }
  return buffer;
}

}  // namespace qano::bench
