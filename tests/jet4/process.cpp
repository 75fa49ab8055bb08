#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qano::jet4::testing {
namespace {

void close_if_open(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input) {
  int in_pipe[2], out_pipe[2], err_pipe[2], exec_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) || ::pipe2(out_pipe, O_CLOEXEC) || ::pipe2(err_pipe, O_CLOEXEC) ||
      ::pipe2(exec_pipe, O_CLOEXEC)) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    ::execvp(args[0], args.data());
    const int error = errno;
    [[maybe_unused]] auto n = ::write(exec_pipe[1], &error, sizeof error);
    ::_exit(127);
  }
  int fds[] = {in_pipe[0], out_pipe[1], err_pipe[1], exec_pipe[1]};
  for (int& fd : fds) close_if_open(fd);
  int to_child = in_pipe[1];
  int from_out = out_pipe[0];
  int from_err = err_pipe[0];
  int exec_status = exec_pipe[0];

  // A child that exits early must not kill us through SIGPIPE.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);

  ProcessResult result;
  std::size_t written = 0;
  if (input.empty()) close_if_open(to_child);
  char buffer[65536];
  while (to_child >= 0 || from_out >= 0 || from_err >= 0) {
    pollfd polls[3];
    nfds_t count = 0;
    if (to_child >= 0) polls[count++] = {to_child, POLLOUT, 0};
    if (from_out >= 0) polls[count++] = {from_out, POLLIN, 0};
    if (from_err >= 0) polls[count++] = {from_err, POLLIN, 0};
    if (::poll(polls, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (polls[i].revents == 0) continue;
      if (polls[i].fd == to_child) {
        const ssize_t n = ::write(to_child, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 || written == input.size()) close_if_open(to_child);
      } else {
        const ssize_t n = ::read(polls[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          (polls[i].fd == from_out ? result.out : result.err)
              .append(buffer, static_cast<std::size_t>(n));
        } else if (polls[i].fd == from_out) {
          close_if_open(from_out);
        } else {
          close_if_open(from_err);
        }
      }
    }
  }
  ::sigaction(SIGPIPE, &previous, nullptr);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  int exec_error = 0;
  const bool exec_failed = ::read(exec_status, &exec_error, sizeof exec_error) == sizeof exec_error;
  close_if_open(exec_status);
  if (exec_failed) {
    throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(exec_error));
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace qano::jet4::testing
