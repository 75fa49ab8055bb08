#include "platform/system/posix_syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/system/posix_syscalls_for_testing.h"

namespace qano::posix {

namespace {
// The system's own calls; those with a variable argument list get a fixed one.
Syscalls table = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::close,
    ::read,
    ::write,
    ::unlink,
    ::mkdir,
    ::rmdir,
    ::rename,
    [](const char* from, const char* to, unsigned flags) {
      return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
    },
    [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); },
    [](const char* path, struct stat* st) { return ::stat(path, st); },
    [](const char* path, struct stat* st) { return ::lstat(path, st); },
    [](int fd, struct stat* st) { return ::fstat(fd, st); },
    [](int folder_fd, const char* name, struct stat* st, int flags) {
      return ::fstatat(folder_fd, name, st, flags);
    },
    ::fchmod,
    ::access,
    ::realpath,
    ::opendir,
    ::readdir,
    ::closedir,
    [](int fd, int command, int argument) { return ::fcntl(fd, command, argument); },
    ::flock,
    ::socket,
    ::socketpair,
    ::bind,
    ::pipe2,
    ::fork,
    ::waitpid,
    ::posix_spawn,
};
}  // namespace

const Syscalls& sys() {
  return table;
}

std::optional<Failure> resource_failure(int error, const std::string& doing) {
  if (error == EMFILE || error == ENFILE) {
    return Failure(failure::kTooManyFiles, "Too many files: " + doing);
  }
  if (error == ENOMEM || error == EAGAIN) {
    return Failure(failure::kOutOfMemory, "Out of memory: " + doing);
  }
  return std::nullopt;
}

Syscalls& syscalls_for_testing() {
  return table;
}

}  // namespace qano::posix
