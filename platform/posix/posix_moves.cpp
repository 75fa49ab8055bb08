// The Linux platform's folders and moves: the intake's own folder beside others' files. A move
// is a rename of the very file that was opened and checked: a link is never followed or moved,
// and a file swapped in between is put back and refused.
#include <fcntl.h>
#include <linux/fs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/posix_internal.h"

namespace qano {

using posix::find_entry;
using posix::join;
using posix::sys;

namespace {

using Outcome = Moved::Outcome;

Moved refused(const std::string& reason) {
  return {Outcome::refused, reason};
}

std::string because(const std::string& doing, int error) {
  if (error == EACCES || error == EPERM || error == EROFS) return doing + ": Permission denied";
  return doing + ": " + std::strerror(error);
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why the regular file open as `fd` (its status `st`) could not be renamed out of its folder
// `folder`; empty when nothing that can be seen stands in the way.
std::string rename_refusal(int fd, const struct stat& st, const std::string& folder) {
  int flags = 0;
  if (sys().ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0) {
    return "it cannot be moved: it is marked immutable";
  }
  if (sys().access(folder.c_str(), W_OK | X_OK) != 0) {
    return because("it cannot be moved: its folder may not be changed by this program", errno);
  }
  struct stat parent {};
  uid_t self = ::geteuid();
  if (sys().stat(folder.c_str(), &parent) == 0 && (parent.st_mode & S_ISVTX) != 0 && self != 0 &&
      st.st_uid != self && parent.st_uid != self) {
    return "it cannot be moved: it belongs to another user, in a folder that keeps its owners' "
           "files";
  }
  return "";
}

}  // namespace

bool PosixPlatform::make_folder(const std::string& path) {
  DosPath p = parse_dos_path(path);
  std::optional<std::string> parent =
      p.components.empty() ? std::nullopt : resolve(p.parent(), true);
  if (!parent) throw posix::named(failure::kPathNotFound, "cannot make the folder", path);
  if (find_entry(*parent, p.leaf())) return false;
  // Others may look in, never write into it.
  if (sys().mkdir(join(*parent, p.leaf()).c_str(), 0755) == 0) return true;
  int error = errno;
  if (error == EEXIST) return false;
  if (auto f = posix::resource_failure(error, "cannot make the folder '" + path + "'")) throw *f;
  throw posix::named(posix::open_failure_number(error), "cannot make the folder", path);
}

void PosixPlatform::remove_folder(const std::string& path) {
  std::optional<std::string> native = native_path(path);
  struct stat st {};
  if (!native || sys().lstat(native->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  // Refused when anything is in it: it stays, and nothing else happens.
  sys().rmdir(native->c_str());
}

std::string PosixPlatform::move_refusal(const std::string& path) {
  DosPath p = parse_dos_path(path);
  std::optional<std::string> folder =
      p.components.empty() ? std::nullopt : resolve(p.parent(), true);
  std::optional<std::string> name = folder ? find_entry(*folder, p.leaf()) : std::nullopt;
  struct stat st {};
  if (!name || sys().lstat(join(*folder, *name).c_str(), &st) != 0) return "it is not there";
  if (S_ISLNK(st.st_mode)) return "it is a link";
  if (!S_ISREG(st.st_mode)) return "it is not a file";
  int fd = sys().open(join(*folder, *name).c_str(),
                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) {
    int error = errno;
    if (auto f = posix::resource_failure(error, "cannot look at '" + path + "'")) throw *f;
    return because("it cannot be read", error);
  }
  std::string why = rename_refusal(fd, st, *folder);
  sys().close(fd);
  return why;
}

Moved PosixPlatform::move_file(const std::string& from, const std::string& to, bool replace) {
  DosPath source = parse_dos_path(from);
  DosPath target = parse_dos_path(to);
  std::optional<std::string> from_folder =
      source.components.empty() ? std::nullopt : resolve(source.parent(), true);
  std::optional<std::string> from_name =
      from_folder ? find_entry(*from_folder, source.leaf()) : std::nullopt;
  struct stat before {};
  if (!from_name || sys().lstat(join(*from_folder, *from_name).c_str(), &before) != 0) {
    return refused("it is not there");
  }
  if (S_ISLNK(before.st_mode)) return refused("it is a link");
  if (!S_ISREG(before.st_mode)) return refused("it is not a file");
  std::string from_path = join(*from_folder, *from_name);
  std::optional<std::string> to_folder =
      target.components.empty() ? std::nullopt : resolve(target.parent(), true);
  if (!to_folder) return refused("the folder of '" + to + "' is missing");
  std::string to_path = join(*to_folder, target.leaf());
  if (std::optional<std::string> there = find_entry(*to_folder, target.leaf())) {
    struct stat st {};
    to_path = join(*to_folder, *there);
    bool file = sys().lstat(to_path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!replace) return refused("something stands at '" + to + "'");
    if (!file) return refused("something other than a file stands at '" + to + "'");
  }

  int fd =
      sys().open(from_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) {
    int error = errno;
    if (auto f = posix::resource_failure(error, "cannot move '" + from + "'")) throw *f;
    return refused(because("it cannot be read", error));
  }
  struct stat opened {};
  if (sys().fstat(fd, &opened) != 0 || !same_file(opened, before)) {
    sys().close(fd);
    return {Outcome::held, "it changed while it was being moved"};
  }
  int result = replace ? sys().rename(from_path.c_str(), to_path.c_str())
                       : sys().renameat2(from_path.c_str(), to_path.c_str(), RENAME_NOREPLACE);
  if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the no-replace rename: nothing stood there a moment ago.
    struct stat st {};
    result = sys().lstat(to_path.c_str(), &st) == 0
                 ? (errno = EEXIST, -1)
                 : sys().rename(from_path.c_str(), to_path.c_str());
  }
  int error = errno;
  if (result != 0) {
    sys().close(fd);
    if (auto f = posix::resource_failure(error, "cannot move '" + from + "'")) throw *f;
    if (error == EEXIST || error == ENOTEMPTY) return refused("something stands at '" + to + "'");
    if (error == EISDIR) return refused("something other than a file stands at '" + to + "'");
    if (error == EXDEV) return refused("it cannot be moved to another disk");
    if (error == EBUSY) return {Outcome::held, "it is in use"};
    std::string why = rename_refusal(fd, opened, *from_folder);
    return refused(why.empty() ? because("it cannot be moved", error) : why);
  }
  struct stat after {};
  bool moved_it = sys().lstat(to_path.c_str(), &after) == 0 && same_file(after, opened);
  if (!moved_it) {
    // Another file took its place between the look and the rename: that one goes back.
    sys().renameat2(to_path.c_str(), from_path.c_str(), RENAME_NOREPLACE);
    sys().close(fd);
    return {Outcome::held, "it changed while it was being moved"};
  }
  sys().close(fd);
  return {};
}

}  // namespace qano
