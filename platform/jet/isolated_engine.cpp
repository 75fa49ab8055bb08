#include "platform/jet/isolated_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/failure.h"
#include "platform/jet/jet_contract.h"
#include "platform/jet/wire.h"
#include "platform/system/posix_syscalls.h"

namespace qano {

namespace {

using jet_contract::unrecognized;
using posix::sys;
using wire::Got;

// Starting a process costs more than reading a shop's small database, and start-up runs its
// queries one right after the other: so one reader process serves a run of queries and ends by
// itself once none has come for a while, or when the engine goes. It is started through an
// intermediate process that ends at once, so that nobody has to wait for the reader: whoever
// adopts it reaps it, and the program keeps no ended child behind.
//
// A request is the file and the SQL text, an answer is wire::encode()'s bytes, each framed. A
// reader that ends for being idle says so first (a length of -1): a request that crossed that word
// on its way is then sent to a fresh reader.

using MakeEngine = std::function<std::unique_ptr<JetEngine>()>;

// Answers requests until the socket closes, or until none has come for `idle_ms` after the
// first (which the engine sends at once).
[[noreturn]] void serve(int fd, int idle_ms, const MakeEngine& make_inner) {
  // A library's own complaints about a damaged file are replaced by the failure's text; and the
  // program's standard streams (a terminal, a pipe someone reads to its end) are not held open.
  int null = ::open("/dev/null", O_RDWR);
  for (int stream = 0; null >= 0 && stream <= 2; ++stream) ::dup2(null, stream);
  if (null > 3) ::close(null);
  std::unique_ptr<JetEngine> inner;
  for (bool first = true;; first = false) {
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, first ? -1 : idle_ms);
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) {  // idle: the run of queries is over
      std::int64_t word = wire::kIdleWord;
      wire::send_all(fd, std::string(reinterpret_cast<const char*>(&word), sizeof word));
      ::_exit(0);
    }
    if (r < 0) ::_exit(0);
    std::string request;
    if (!wire::receive_blocking(fd, request)) ::_exit(0);  // the engine has gone
    std::string file;
    SelectStatement query;
    if (!wire::parse_request(request, file, query)) ::_exit(1);
    std::string out;
    bool failed = false;
    try {
      if (!inner) inner = make_inner();
      out = wire::encode(inner->first_row(file, query));
    } catch (const Failure& f) {
      out = wire::encode(f);
      failed = true;
    } catch (...) {
      ::_exit(1);
    }
    if (!wire::send_all(fd, wire::framed(out)) || failed) ::_exit(0);
  }
}

class IsolatedEngine : public JetEngine {
 public:
  IsolatedEngine(MakeEngine make_inner, IsolationOptions options)
      : make_inner_(std::move(make_inner)), options_(options) {}
  ~IsolatedEngine() override { stop_reader(); }
  IsolatedEngine(const IsolatedEngine&) = delete;
  IsolatedEngine& operator=(const IsolatedEngine&) = delete;

  JetResult first_row(const std::string& file, const SelectStatement& query) override {
    auto deadline = std::chrono::steady_clock::now() + options_.time_limit;
    const std::string request = wire::framed(wire::request(file, query));
    // A reader kept from earlier queries may have ended for being idle just as this request went
    // out: then it never read the request, and a fresh one is asked, which stays for its first.
    for (int attempt = 1;; ++attempt) {
      if (socket_ < 0) start_reader();
      std::string length, answer;
      std::int64_t size = 0;
      bool sent = wire::send_all(socket_, request);
      Got got = wire::receive(socket_, sizeof size, length, deadline);
      if (got == Got::all) std::memcpy(&size, length.data(), sizeof size);
      if ((got == Got::all && size == wire::kIdleWord) || (!sent && got == Got::closed)) {
        stop_reader();
        if (attempt < 3) continue;
        throw jet_contract::reader_cannot_start();
      }
      if (got == Got::all) {
        got = size < 0 ? Got::closed
                       : wire::receive(socket_, static_cast<std::size_t>(size), answer, deadline);
      }
      if (got == Got::late) {
        // The reader still runs (its end of the socket is open): it is stopped for good.
        ::kill(reader_, SIGKILL);
        stop_reader();
        throw unrecognized(file, "reading it did not end");
      }
      if (got == Got::closed) {
        stop_reader();
        throw unrecognized(file, "the reader stopped on damaged data, or after " +
                                     std::to_string(options_.cpu_limit.count()) +
                                     " s of processor time");
      }
      if (wire::is_failure(answer)) stop_reader();  // a failure ends the reader
      return wire::decode(answer, file);
    }
  }

 private:
  // Out of descriptors or processes is the machine's trouble, not the file's.
  [[noreturn]] static void cannot_start(int error) {
    throw posix::resource_failure(error, "cannot start the database reader.")
        .value_or(jet_contract::reader_cannot_start());
  }

  void start_reader() {
    int fds[2];
    if (sys().socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) cannot_start(errno);
    pid_t middle = sys().fork();
    if (middle < 0) {
      int error = errno;
      ::close(fds[0]);
      ::close(fds[1]);
      cannot_start(error);
    }
    if (middle == 0) {
      ::close(fds[0]);
      pid_t reader = sys().fork();
      if (reader == 0) {
        // Nothing else of the program's (its files, its display, its signal handlers) stays with
        // the reader.
        for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGPIPE, SIGCHLD, SIGXCPU}) {
          ::signal(sig, SIG_DFL);
        }
        // A reader that spins on a damaged file is stopped by the system once it has burnt its
        // processor time, and leaves no core behind.
        auto cpu = static_cast<rlim_t>(options_.cpu_limit.count());
        rlimit limit{cpu, cpu + 1};
        ::setrlimit(RLIMIT_CPU, &limit);
        rlimit no_core{0, 0};
        ::setrlimit(RLIMIT_CORE, &no_core);
        ::dup2(fds[1], 3);
        ::close_range(4, ~0U, 0);
        serve(3, static_cast<int>(options_.reader_idle.count()), make_inner_);
      }
      int fork_error = reader < 0 ? errno : 0;
      std::int64_t id = reader;
      [[maybe_unused]] ssize_t ignored = ::write(fds[1], &id, sizeof id);
      ::_exit(reader < 0 ? (fork_error == EAGAIN || fork_error == ENOMEM ? 2 : 1) : 0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    std::int64_t id = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
      ::close(fds[0]);
      cannot_start(EAGAIN);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        ::read(fds[0], &id, sizeof id) != static_cast<ssize_t>(sizeof id) || id <= 0) {
      ::close(fds[0]);
      throw jet_contract::reader_cannot_start();
    }
    socket_ = fds[0];
    reader_ = static_cast<pid_t>(id);
  }

  // The reader ends when its socket closes; its adoptive parent reaps it.
  void stop_reader() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    reader_ = -1;
  }

  MakeEngine make_inner_;
  IsolationOptions options_;
  int socket_ = -1;
  pid_t reader_ = -1;
};

}  // namespace

std::unique_ptr<JetEngine> isolate_engine(MakeEngine make_inner, IsolationOptions options) {
  return std::make_unique<IsolatedEngine>(std::move(make_inner), options);
}

}  // namespace qano
