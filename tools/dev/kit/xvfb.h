// A virtual X display for one test: Xvfb picks a free display number itself and reports it once
// it accepts clients (-displayfd), so nothing waits blindly. Stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qano::testing {

class Xvfb {
 public:
  Xvfb();
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // ":N"
  const std::string& display() const { return display_; }
  pid_t pid() const { return pid_; }
  // Ends the server now (as a session that goes away), and waits for it.
  void stop();

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Runs a command (argv[0] found on PATH) with DISPLAY set; its standard output, and whether it
// exited with status 0.
struct CommandResult {
  bool ok = false;
  std::string out;
};
CommandResult run_command(const std::string& display, const std::vector<std::string>& argv,
                          double timeout_seconds = 30);

}  // namespace qano::testing
