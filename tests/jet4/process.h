// Runs a command as a child process and collects what it prints.
#pragma once

#include <string>
#include <vector>

namespace qano::jet4::testing {

struct ProcessResult {
  int exit_code = -1;  // 128 + signal number when killed by a signal
  std::string out;
  std::string err;
};

// Runs argv[0] (looked up in PATH unless it holds a slash) with `input` on its
// standard input. Throws std::runtime_error when the command cannot be started.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input = "");

}  // namespace qano::jet4::testing
