#include "tools/dev/kit/program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace qano::testing {

bool eventually(const std::function<bool()>& condition, double seconds) {
  using Clock = std::chrono::steady_clock;
  auto end = Clock::now() +
             std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (!condition()) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

Program::Program(const std::filesystem::path& executable, const std::filesystem::path& folder,
                 const std::map<std::string, std::string>& environment,
                 const std::filesystem::path& stderr_file) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    int null = ::open("/dev/null", O_RDWR);
    int err = ::open(stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

Program::~Program() {
  if (pid_ > 0 && !ended()) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::optional<int> Program::wait_exit(double seconds) {
  eventually([&] { return ended(); }, seconds);
  return status_;
}

bool Program::running() {
  return !ended();
}

bool Program::ended() {
  if (status_) return true;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  return status_.has_value();
}

}  // namespace qano::testing
