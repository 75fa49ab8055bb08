#include "platform/posix/syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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
    [](const char* path, struct stat* st) { return ::stat(path, st); },
    [](const char* path, struct stat* st) { return ::lstat(path, st); },
    [](int fd, struct stat* st) { return ::fstat(fd, st); },
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
