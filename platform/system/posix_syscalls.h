// Every system call that the Linux platform's file and process code, the database reader process
// and the mdbtools reader make, through one table of replaceable entries: production code calls
// sys().write(...), and a test replaces one entry for a scope (posix_syscalls_for_testing.h) to
// make the real platform meet a full disk, a refused open or a failed start on real files.
#pragma once

#include <dirent.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/failure.h"

namespace qano::posix {

struct Syscalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, size_t size);
  ssize_t (*write)(int fd, const void* buffer, size_t size);
  int (*unlink)(const char* path);
  int (*mkdir)(const char* path, mode_t mode);
  int (*rmdir)(const char* path);
  int (*rename)(const char* from, const char* to);
  // renameat2() with both paths relative to the working directory.
  int (*renameat2)(const char* from, const char* to, unsigned flags);
  // ioctl() with one pointer argument.
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*stat)(const char* path, struct stat* st);
  int (*lstat)(const char* path, struct stat* st);
  int (*fstat)(int fd, struct stat* st);
  int (*fstatat)(int folder_fd, const char* name, struct stat* st, int flags);
  int (*fchmod)(int fd, mode_t mode);
  int (*access)(const char* path, int mode);
  char* (*realpath)(const char* path, char* resolved);
  DIR* (*opendir)(const char* path);
  dirent* (*readdir)(DIR* folder);
  int (*closedir)(DIR* folder);
  int (*fcntl)(int fd, int command, int argument);
  int (*flock)(int fd, int operation);
  int (*socket)(int domain, int type, int protocol);
  int (*socketpair)(int domain, int type, int protocol, int fds[2]);
  int (*bind)(int fd, const sockaddr* address, socklen_t length);
  int (*pipe2)(int fds[2], int flags);
  pid_t (*fork)();
  pid_t (*waitpid)(pid_t pid, int* status, int options);
  int (*posix_spawn)(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                     const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);
};

// The table in use: the system's own calls unless a test has replaced one.
const Syscalls& sys();

// The failure for an errno value that says a system resource ran out: 67 "Too many files" for
// descriptors, 7 "Out of memory" for memory and processes; nothing for any other error. A machine
// out of them never passes for a missing or damaged file.
std::optional<Failure> resource_failure(int error, const std::string& doing);

}  // namespace qano::posix
