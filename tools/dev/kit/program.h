// A program that a test starts and watches: its working folder, extra environment, standard error
// kept in a file; killed if it still runs when the object goes. And a wait for a condition with
// a deadline, checked every 50 ms.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace qano::testing {

// Checks `condition` until it holds or `seconds` have passed (20 unless given); whether it held.
bool eventually(const std::function<bool()>& condition, double seconds = 20);

class Program {
 public:
  Program(const std::filesystem::path& executable, const std::filesystem::path& folder,
          const std::map<std::string, std::string>& environment,
          const std::filesystem::path& stderr_file);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The exit status once the program has ended, within `seconds` (minus the signal's number when
  // a signal ended it); nothing when it still runs.
  std::optional<int> wait_exit(double seconds);
  bool running();
  pid_t pid() const { return pid_; }

 private:
  bool ended();
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace qano::testing
