#include "tools/dev/kit/stub_wine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tools/dev/kit/temp_prefix.h"

namespace qano::testing {

namespace fs = std::filesystem;

namespace {

// Each start writes its record to a temporary file and renames it into place, so a record is
// either absent or complete. Arguments are written one per line after a count.
constexpr const char* kScript = R"SH(#!/bin/sh
d="$QANO_STUB_WINE_DIR"
t="$d/tmp.$$"
{
  echo "$#"
  for a in "$@"; do printf '%s\n' "$a"; done
  pwd
  printf '%s\n' "$WINEPREFIX"
  readlink /proc/$$/fd/0
  cut -d' ' -f5 /proc/$$/stat
  for f in /proc/$$/fd/*; do
    n=${f##*/}
    if [ "$n" -gt 2 ]; then readlink "$f"; fi
  done
} > "$t" 2>/dev/null
mv "$t" "$d/call.$$"
i=0
while [ -e "$d/linger" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done
if [ -e "$d/status" ]; then exit "$(cat "$d/status")"; fi
exit 0
)SH";

std::string next_line(std::istringstream& in) {
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

StubWine::StubWine() {
  std::string pattern = (fs::temp_directory_path() / "qano-wine-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = fs::canonical(pattern);
  bin_ = root_ / "bin";
  records_ = root_ / "records";
  fs::create_directories(bin_);
  fs::create_directories(records_);
  {
    std::ofstream out(bin_ / "wine", std::ios::binary);
    out << kScript;
  }
  fs::permissions(bin_ / "wine", fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  const char* path = std::getenv("PATH");
  had_path_ = path != nullptr;
  if (had_path_) old_path_ = path;
  std::string new_path = bin_.string() + (had_path_ ? ":" + old_path_ : std::string());
  ::setenv("PATH", new_path.c_str(), 1);
  ::setenv("QANO_STUB_WINE_DIR", records_.c_str(), 1);
}

StubWine::~StubWine() {
  release();
  if (had_path_) {
    ::setenv("PATH", old_path_.c_str(), 1);
  } else {
    ::unsetenv("PATH");
  }
  ::unsetenv("QANO_STUB_WINE_DIR");
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void StubWine::linger(bool on) {
  std::error_code ignored;
  if (on) {
    std::ofstream(records_ / "linger") << "1";
  } else {
    fs::remove(records_ / "linger", ignored);
  }
}

void StubWine::exit_status(int status) {
  std::ofstream(records_ / "status") << status;
}

void StubWine::make_unexecutable() {
  fs::permissions(bin_ / "wine", fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<StubWine::Call> StubWine::calls() const {
  std::vector<Call> result;
  for (const auto& entry : fs::directory_iterator(records_)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("call.", 0) != 0) continue;
    std::istringstream in(read_file(entry.path()));
    Call call;
    call.pid = std::stol(name.substr(5));
    int count = std::stoi(next_line(in));
    for (int i = 0; i < count; ++i) call.args.push_back(next_line(in));
    call.working_directory = next_line(in);
    call.wine_prefix = next_line(in);
    call.standard_input = next_line(in);
    call.process_group = std::stol(next_line(in));
    for (std::string line; std::getline(in, line);) call.open_files.push_back(line);
    result.push_back(std::move(call));
  }
  std::sort(result.begin(), result.end(),
            [](const Call& a, const Call& b) { return a.pid < b.pid; });
  return result;
}

bool StubWine::wait_for_calls(std::size_t count, std::chrono::milliseconds deadline) const {
  auto until = std::chrono::steady_clock::now() + deadline;
  while (calls().size() < count) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::vector<long> child_processes() {
  std::vector<long> children;
  long self = static_cast<long>(::getpid());
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    std::string stat = read_file(entry.path() / "stat");
    // pid (comm) state ppid ...: the command may hold blanks, so read after its last ')'.
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    long parent = 0;
    rest >> state >> parent;
    if (parent == self) children.push_back(std::stol(name));
  }
  return children;
}

std::vector<long> child_processes_since(const std::vector<long>& earlier) {
  std::vector<long> result;
  for (long pid : child_processes()) {
    if (std::find(earlier.begin(), earlier.end(), pid) == earlier.end()) result.push_back(pid);
  }
  return result;
}

}  // namespace qano::testing
