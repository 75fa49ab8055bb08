#include "platform/posix/syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/posix/syscalls_for_testing.h"

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

Syscalls& syscalls_for_testing() {
  return table;
}

}  // namespace qano::posix
