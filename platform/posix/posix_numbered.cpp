// The Linux platform's numbered text files: the log appended to, the script made afresh, each
// line handed to the system at once.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/posix_internal.h"
#include "platform/text.h"

namespace qano {

using posix::join;
using posix::named;
using posix::open_failure_number;
using posix::sys;

std::string PosixPlatform::numbered_target(int number, const std::string& path) {
  open_files_.check_free(number);
  DosPath p = parse_dos_path(path);
  if (p.components.empty()) fail(failure::kPathNotFound);
  if (!resolve(p.parent(), true)) fail(failure::kPathNotFound);
  std::optional<std::string> native = resolve(p, false);
  if (!native) fail(failure::kPathNotFound);
  return *native;
}

void PosixPlatform::open_numbered(int number, const std::string& path, bool fresh) {
  std::string native = numbered_target(number, path);
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  if (fresh) {
    // Whatever stands at the name (every case twin: Wine would open any of them) goes first,
    // links themselves and never what they point to; then the file is made anew, so that
    // nothing planted there is ever written through.
    std::string folder = native.substr(0, native.rfind('/'));
    if (folder.empty()) folder = "/";
    // Made under the name the program gives it, whatever the case of what stood there.
    std::string leaf = parse_dos_path(path).leaf();
    native = join(folder, leaf);
    for (const Entry& e : entries(path)) {
      if (text::fold(e.name) != text::fold(leaf)) continue;
      if (e.kind == EntryKind::folder)
        throw named(failure::kPathFileAccessError, "a folder stands at", path);
      if (sys().unlink(join(folder, e.name).c_str()) != 0 && errno != ENOENT) {
        throw named(open_failure_number(errno), "cannot replace", path);
      }
    }
    flags |= O_EXCL;
  } else {
    flags |= O_APPEND;
  }
  int fd = sys().open(native.c_str(), flags, 0666);
  if (fd < 0 && errno == ELOOP) {
    // The file's own name is a link: whoever planted it would have the lines written elsewhere.
    throw named(failure::kPathFileAccessError, "will not write through the link", path);
  }
  if (fd < 0 && errno == EEXIST) throw named(failure::kPathFileAccessError, "cannot replace", path);
  if (fd < 0) fail(open_failure_number(errno));
  struct stat st {};
  if (sys().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    sys().close(fd);
    fail(failure::kPathFileAccessError);
  }
  // A file its owner may not write is read-only, as Wine sees it, also to root: refused as
  // Windows refuses it.
  if ((st.st_mode & S_IWUSR) == 0) {
    sys().close(fd);
    fail(failure::kPermissionDenied);
  }
  // Opened without waiting (a FIFO planted there fails instead of hanging); written blocking.
  sys().fcntl(fd, F_SETFL, fresh ? 0 : O_APPEND);
  open_files_.add(number, fd);
}

void PosixPlatform::open_append(int number, const std::string& path) {
  open_numbered(number, path, false);
}

void PosixPlatform::open_output(int number, const std::string& path) {
  open_numbered(number, path, true);
}

std::optional<Failure> PosixPlatform::open_append_failure(int number, const std::string& path) {
  try {
    std::string native = numbered_target(number, path);
    struct stat st {};
    if (sys().lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      throw named(failure::kPathFileAccessError, "will not write through the link", path);
    }
    if (sys().stat(native.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) fail(failure::kPathFileAccessError);
      if ((st.st_mode & S_IWUSR) == 0) fail(failure::kPermissionDenied);  // read-only
      if (sys().access(native.c_str(), W_OK) != 0) fail(open_failure_number(errno));
    } else {
      // Not there: open_append would create it in its folder.
      std::string folder = native.substr(0, native.rfind('/'));
      if (folder.empty()) folder = "/";
      if (sys().access(folder.c_str(), W_OK | X_OK) != 0) fail(open_failure_number(errno));
    }
  } catch (const Failure& f) {
    return f;
  }
  return std::nullopt;
}

void PosixPlatform::write_line(int number, const std::string& line) {
  int fd = open_files_.at(number);
  std::string bytes = numbered_line_bytes(line);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = sys().write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == ENOSPC || errno == EDQUOT)) fail(failure::kDiskFull);
    // A device that takes nothing is as full as a disk can be: waiting on it would hang.
    if (n == 0) fail(failure::kDiskFull);
    if (n < 0) fail(failure::kPathFileAccessError);
    done += static_cast<std::size_t>(n);
  }
}

void PosixPlatform::close_all() {
  open_files_.close_all();
}

}  // namespace qano
