// Starting programs through Wine: a batch script runs as "wine start /wait [/max] cmd /c <DOS
// path>", any other program as "wine start /wait [/max] <DOS path>", in the prefix that gives the
// drives. "start /wait" waits for the Windows program, so that process lives exactly as long as
// the program or the script does: still_running() can tell when a script has finished.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/posix/posix_platform.h"
#include "platform/text.h"

extern char** environ;

namespace qano {

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
      r = ::waitpid(static_cast<pid_t>(it->second), &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
      ++it;
    } else {
      it = children_.erase(it);  // ended (or not ours any more)
    }
  }
}

TaskId PosixPlatform::shell(const std::string& path, WindowStyle style,
                            const std::string& working_folder) {
  reap_children();
  std::string what = "'" + path + "'";

  // Like Windows, a program or script that is not there is not started at all.
  std::optional<std::string> target = native_path(path);
  struct stat st {};
  if (!target || ::stat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    fail(failure::kFileNotFound, "File not found: cannot start " + what);
  }
  std::optional<std::string> folder;
  if (!working_folder.empty()) {
    folder = resolve(parse_dos_path(working_folder), true);
    if (!folder) fail(failure::kPathNotFound, "Path not found: " + working_folder);
  }

  // Through Wine's "start": a console program or a script gets a console window of its own
  // (with a display), in the style asked for; "/wait" keeps this process alive exactly as long
  // as the program or the script.
  std::vector<std::string> args = {"wine", "start", "/wait"};
  if (style == WindowStyle::maximized) args.push_back("/max");
  if (is_script(path)) {
    args.insert(args.end(), {"cmd", "/c"});
  }
  args.push_back(path);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The child sees the same prefix, whether it came from the environment or from the options.
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WINEPREFIX=", 11) != 0) env_strings.emplace_back(*e);
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
  // Its own process group, default signal handling and no blocked signals, whatever the
  // program's own are.
  check_setup(
      posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                      POSIX_SPAWN_SETSIGDEF),
      what);
  check_setup(posix_spawnattr_setpgroup(&setup.attributes, 0), what);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  check_setup(posix_spawnattr_setsigmask(&setup.attributes, &none), what);
  check_setup(posix_spawnattr_setsigdefault(&setup.attributes, &all), what);

  pid_t pid = 0;
  int error =
      ::posix_spawnp(&pid, "wine", &setup.actions, &setup.attributes, argv.data(), envp.data());
  if (error == ENOENT) {
    fail(failure::kFileNotFound,
         "File not found: cannot start " + what + ": 'wine' was not found on PATH");
  }
  if (error != 0) {
    fail(failure::kFileNotFound,
         "File not found: cannot start " + what + " through wine: " + std::strerror(error));
  }
  children_[pid] = pid;
  return pid;
}

bool PosixPlatform::still_running(TaskId task) {
  reap_children();
  return children_.count(task) != 0;
}

}  // namespace qano
