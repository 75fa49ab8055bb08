// The entry point of a console command on Linux: the arguments are UTF-8 already. A report that
// cannot be written (standard output full, closed, or a reader that has gone) is the command's
// failure, status 2, never a success.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/host_platform.h"

int main(int argc, char** argv) {
  // A closed pipe makes the write fail instead of ending the process unseen.
  std::signal(SIGPIPE, SIG_IGN);
  int status = qano::console_main(argc, argv);
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::string name = argc > 0 ? argv[0] : "qanocontrol";
    name = name.substr(name.find_last_of('/') + 1);
    std::cerr << name << ": the report could not be written to standard output" << std::endl;
    return 2;
  }
  return status;
}
