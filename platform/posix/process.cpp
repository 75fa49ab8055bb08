// Starting programs through Wine: a batch script runs as "wine cmd /c <DOS path>", any other
// program as "wine <DOS path>", in the prefix that gives the drives.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

void PosixPlatform::reap_children() {
  for (auto it = children_.begin(); it != children_.end();) {
    int status = 0;
    pid_t r = ::waitpid(static_cast<pid_t>(it->second), &status, WNOHANG);
    if (r == 0) {
      ++it;
    } else {
      it = children_.erase(it);  // ended (or not ours any more)
    }
  }
}

TaskId PosixPlatform::shell(const std::string& path, WindowStyle /*style*/,
                            const std::string& working_folder) {
  reap_children();
  std::string what = "'" + path + "'";
  std::optional<std::string> folder;
  if (!working_folder.empty()) {
    folder = resolve(parse_dos_path(working_folder), true);
    if (!folder) fail(failure::kPathNotFound, "Path not found: " + working_folder);
  }

  std::vector<std::string> args = {"wine"};
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

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (folder) posix_spawn_file_actions_addchdir_np(&actions, folder->c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                            POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);

  pid_t pid = 0;
  int error = ::posix_spawnp(&pid, "wine", &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
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
