// A stand-in for `wine` on PATH: a small shell script that records, for every start, its
// arguments, working directory, WINEPREFIX, standard input, process group and the files it was
// handed open, and that can be told to linger until released or to end with a failure status.
// PATH is changed for the life of the object.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qano::testing {

class StubWine {
 public:
  struct Call {
    long pid = 0;
    std::vector<std::string> args;  // after "wine"
    std::string working_directory;
    std::string wine_prefix;
    std::string standard_input;  // what descriptor 0 points to
    long process_group = 0;
    std::vector<std::string> open_files;  // what descriptors 3 and up point to
  };

  StubWine();
  ~StubWine();
  StubWine(const StubWine&) = delete;
  StubWine& operator=(const StubWine&) = delete;

  // Later starts stay running until release() (or until a minute has passed).
  void linger(bool on);
  void release() { linger(false); }
  // Later starts end with this status (0: success).
  void exit_status(int status);
  // Makes the stub impossible to execute, as a broken installation would.
  void make_unexecutable();

  // The starts recorded so far, in the order of their process ids' recording.
  std::vector<Call> calls() const;
  // Waits until at least `count` starts have been recorded; false when the deadline passes.
  bool wait_for_calls(std::size_t count,
                      std::chrono::milliseconds deadline = std::chrono::seconds(20)) const;

  const std::filesystem::path& bin() const { return bin_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path bin_;
  std::filesystem::path records_;
  std::string old_path_;
  bool had_path_ = false;
};

// The process ids of this program's children, running or ended but not reaped (zombies).
std::vector<long> child_processes();
// Those of them that are not in `earlier`: a test's own, when `earlier` was taken at its start.
std::vector<long> child_processes_since(const std::vector<long>& earlier);

}  // namespace qano::testing
