// Starting programs through Wine: a batch script runs as "wine start /wait [/max] cmd /c <DOS
// path>", any other program as "wine start /wait [/max] <DOS path>", in the prefix that gives the
// drives. "start /wait" waits for the Windows program, so that process lives exactly as long as
// the program or the script does: still_running() can tell when a script has finished. A script
// runs under a holder of the program's own (see shell()), which keeps the script's file locked
// for as long as the script runs. Every call goes through the system-call table (syscalls.h),
// except the few the holder makes to set itself up between fork() and its posix_spawn().
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/posix/posix_internal.h"
#include "platform/text.h"

extern char** environ;

namespace qano {

using posix::sys;

namespace {

bool is_script(const std::string& dos_path) {
  std::string leaf = parse_dos_path(dos_path).leaf();
  return text::wildcard_match("*.bat", leaf) || text::wildcard_match("*.cmd", leaf);
}

// A posix_spawn set-up call that cannot fail in practice; when it does, nothing is started.
void check_setup(int error, const std::string& what) {
  if (error != 0) {
    fail(failure::kFileNotFound,
         "File not found: cannot start " + what + ": " + std::strerror(error));
  }
}

// The file actions and attributes of one start, released whatever happens.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

void PosixPlatform::reap_children() {
  for (auto it = children_.begin(); it != children_.end();) {
    int status = 0;
    pid_t r = 0;
    do {
      r = sys().waitpid(static_cast<pid_t>(it->second), &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
      ++it;
    } else {
      it = children_.erase(it);  // ended (or not ours any more)
    }
  }
}

namespace {

// `path` made absolute against the working directory.
std::string absolute_path(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* cwd = ::getcwd(nullptr, 0);
  std::string base = cwd == nullptr ? std::string("/") : std::string(cwd);
  std::free(cwd);
  if (path.empty() || path == ".") return base;
  return base + "/" + path;
}

// The PATH of a child that starts in another folder: every entry absolute, so that it names
// what it names here.
std::string absolute_search_path(const std::string& path) {
  std::string out;
  std::size_t from = 0;
  while (true) {
    std::size_t colon = path.find(':', from);
    std::string entry = path.substr(from, colon == std::string::npos ? colon : colon - from);
    if (!out.empty() || from > 0) out += ':';
    out += absolute_path(entry);
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  return out;
}

// Where `wine` is on PATH, looked up here (relative entries against this working directory),
// not in the folder the child starts in.
std::optional<std::string> find_wine() {
  const char* path = std::getenv("PATH");
  std::string search = absolute_search_path(path == nullptr ? "/usr/bin:/bin" : path);
  std::size_t from = 0;
  while (from <= search.size()) {
    std::size_t colon = search.find(':', from);
    std::string entry = search.substr(from, colon == std::string::npos ? colon : colon - from);
    std::string candidate = entry + "/wine";
    struct stat st {};
    if (sys().stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        sys().access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  return std::nullopt;
}

[[noreturn]] void cannot_start(int error, const std::string& what) {
  if (std::optional<Failure> f = posix::resource_failure(error, "cannot start " + what)) throw *f;
  fail(failure::kFileNotFound,
       "File not found: cannot start " + what + " through wine: " + std::strerror(error));
}

// Reads the start's outcome that the holder reports: 0, or the errno of its failed start.
int read_report(int fd) {
  int error = 0;
  ssize_t n = 0;
  do {
    n = sys().read(fd, &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof error) ? error : ECHILD;
}

}  // namespace

TaskId PosixPlatform::shell(const std::string& path, WindowStyle style,
                            const std::string& working_folder) {
  reap_children();
  std::string what = "'" + path + "'";

  // Like Windows, a program or script that is not there is not started at all.
  std::optional<std::string> target = native_path(path);
  struct stat st {};
  if (!target || sys().stat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    fail(failure::kFileNotFound, "File not found: cannot start " + what);
  }
  std::optional<std::string> folder;
  if (!working_folder.empty()) {
    folder = resolve(parse_dos_path(working_folder), true);
    if (!folder) fail(failure::kPathNotFound, "Path not found: " + working_folder);
  }
  std::optional<std::string> wine = find_wine();
  if (!wine) {
    fail(failure::kFileNotFound,
         "File not found: cannot start " + what + ": 'wine' was not found on PATH");
  }

  // Through Wine's "start": a console program or a script gets a console window of its own
  // (with a display), in the style asked for; "/wait" keeps this process alive exactly as long
  // as the program or the script.
  std::vector<std::string> args = {"wine", "start", "/wait"};
  if (style == WindowStyle::maximized) args.push_back("/max");
  bool script = is_script(path);
  if (script) {
    args.insert(args.end(), {"cmd", "/c"});
  }
  args.push_back(path);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The child sees the same prefix, whether it came from the environment or from the options,
  // and a PATH that means the same in its own folder.
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WINEPREFIX=", 11) == 0) continue;
    if (std::strncmp(*e, "PATH=", 5) == 0) {
      env_strings.push_back("PATH=" + absolute_search_path(*e + 5));
      continue;
    }
    env_strings.emplace_back(*e);
  }
  env_strings.push_back("WINEPREFIX=" + prefix_);
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  SpawnSetup setup;
  // Standard input from /dev/null; nothing else that the program holds open (its numbered files,
  // the databases, the display's connection) reaches the child, whoever opened it.
  check_setup(posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0), what);
  check_setup(posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3), what);
  if (folder) {
    check_setup(posix_spawn_file_actions_addchdir_np(&setup.actions, folder->c_str()), what);
  }
  // Default signal handling and no blocked signals, whatever the program's own are; a program
  // in its own process group, a script in its holder's.
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (!script) flags |= POSIX_SPAWN_SETPGROUP;
  check_setup(posix_spawnattr_setflags(&setup.attributes, flags), what);
  check_setup(posix_spawnattr_setpgroup(&setup.attributes, 0), what);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  check_setup(posix_spawnattr_setsigmask(&setup.attributes, &none), what);
  check_setup(posix_spawnattr_setsigdefault(&setup.attributes, &all), what);

  if (!script) {
    pid_t pid = 0;
    int error = sys().posix_spawn(&pid, wine->c_str(), &setup.actions, &setup.attributes,
                                  argv.data(), envp.data());
    if (error != 0) cannot_start(error, what);
    children_[pid] = pid;
    return pid;
  }

  // A script runs under a holder: a small process of the program's own that holds a lock on the
  // script's file for as long as the script runs and then ends with it. It outlives the program
  // when that ends first, so a later run sees the script still running (file_facts: in use) and
  // leaves agglis.bat alone. Wine itself never holds the lock: a wineserver that the script's
  // start brings up, and that may run for long after, would hold it too.
  int lock = sys().open(target->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
  if (lock < 0) cannot_start(errno, what);
  while (sys().flock(lock, LOCK_SH) != 0 && errno == EINTR) {
  }
  int report[2];
  if (sys().pipe2(report, O_CLOEXEC) != 0) {
    int error = errno;
    sys().close(lock);
    cannot_start(error, what);
  }
  pid_t holder = sys().fork();
  if (holder == 0) {
    // The holder: the lock, the report pipe and the standard streams; nothing else of the
    // program's (its one-instance claim, its display, its files).
    ::dup2(lock, 3);
    ::dup2(report[1], 4);
    ::close_range(5, ~0U, 0);
    ::setpgid(0, 0);
    for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    ::sigprocmask(SIG_SETMASK, &unblocked, nullptr);
    pid_t child = 0;
    int error = sys().posix_spawn(&child, wine->c_str(), &setup.actions, &setup.attributes,
                                  argv.data(), envp.data());
    [[maybe_unused]] ssize_t ignored = sys().write(4, &error, sizeof error);
    sys().close(4);
    if (error != 0) ::_exit(127);
    int status = 0;
    while (sys().waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
  }
  int fork_error = holder < 0 ? errno : 0;
  sys().close(lock);
  sys().close(report[1]);
  if (holder < 0) {
    sys().close(report[0]);
    cannot_start(fork_error, what);
  }
  int error = read_report(report[0]);
  sys().close(report[0]);
  children_[holder] = holder;
  if (error != 0) {
    reap_children();
    cannot_start(error, what);
  }
  return holder;
}

bool PosixPlatform::still_running(TaskId task) {
  reap_children();
  return children_.count(task) != 0;
}

}  // namespace qano
