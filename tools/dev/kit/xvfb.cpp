#include "tools/dev/kit/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace qano::testing {

namespace {

using Clock = std::chrono::steady_clock;

int milliseconds_left(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

void to_dev_null(int fd) {
  int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, fd);
    ::close(null);
  }
}

}  // namespace

Xvfb::Xvfb() {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::close(fds[0]);
    to_dev_null(0);
    to_dev_null(1);
    to_dev_null(2);
    std::string fd = std::to_string(fds[1]);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  // The server writes its display number once it accepts clients.
  std::string number;
  auto end = Clock::now() + std::chrono::seconds(30);
  while (number.empty() || number.back() != '\n') {
    pollfd p{fds[0], POLLIN, 0};
    int ready = ::poll(&p, 1, milliseconds_left(end));
    char c;
    if (ready <= 0 || ::read(fds[0], &c, 1) != 1) break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty() || number.back() != '\n') {
    stop();
    throw std::runtime_error("Xvfb did not start");
  }
  number.pop_back();
  display_ = ":" + number;
}

Xvfb::~Xvfb() {
  stop();
}

void Xvfb::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

CommandResult run_command(const std::string& display, const std::vector<std::string>& argv,
                          double timeout_seconds) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(fds[0]);
    ::dup2(fds[1], 1);
    ::close(fds[1]);
    to_dev_null(0);
    ::setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  CommandResult result;
  auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(timeout_seconds));
  bool timed_out = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    int ready = ::poll(&p, 1, milliseconds_left(end));
    if (ready == 0) {
      timed_out = true;
      break;
    }
    char buffer[512];
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  if (timed_out) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.ok = !timed_out && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

}  // namespace qano::testing
