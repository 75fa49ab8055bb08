// The Linux platform: DOS paths through the Wine prefix's drive folders, files and folders, the
// Jet engine's queries on files that may change while they are read. Numbered files, processes
// and regional forms are in posix_numbered.cpp, process.cpp and posix_regional.cpp.
#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/jet/jet_contract.h"
#include "platform/posix/posix_internal.h"
#include "platform/support/files/name_order.h"
#include "platform/text.h"

namespace qano {

namespace posix {

bool is_folder(const std::string& path) {
  struct stat st {};
  return sys().stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string real_path(const std::string& path) {
  char* r = sys().realpath(path.c_str(), nullptr);
  if (r == nullptr) return std::string();
  std::string result(r);
  std::free(r);
  return result;
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? std::string() : std::string(v);
}

int open_failure_number(int error) {
  switch (error) {
    case EMFILE:
    case ENFILE:
      return failure::kTooManyFiles;
    case ENOMEM:
      return failure::kOutOfMemory;
    case ENOENT:
    case ENOTDIR:
      return failure::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return failure::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
      // No room for one more entry: a full disk, not a refused path.
      return failure::kDiskFull;
    default:
      return failure::kPathFileAccessError;
  }
}

// The text of a failure that names the DOS path it concerns.
Failure named(int number, const std::string& doing, const std::string& path) {
  return Failure(number, std::string(standard_text(number)) + ": " + doing + " '" + path + "'");
}

// The entry of `folder` whose name equals `name` without regard to case, the exact one first.
std::optional<std::string> find_entry(const std::string& folder, const std::string& name) {
  struct stat st {};
  if (sys().lstat(join(folder, name).c_str(), &st) == 0) return name;
  DIR* d = sys().opendir(folder.c_str());
  if (d == nullptr) {
    if (auto f = resource_failure(errno, "cannot read the folder")) throw *f;
    return std::nullopt;
  }
  std::string wanted = text::fold(name);
  std::optional<std::string> found;
  while (dirent* e = sys().readdir(d)) {
    if (text::fold(e->d_name) == wanted) {
      found = e->d_name;
      break;
    }
  }
  sys().closedir(d);
  return found;
}

namespace {

// Whether `path` lies in `folder` (both real paths).
bool inside(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

// `path` made absolute against the working directory, without following anything.
std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::error_code ignored;
  return std::filesystem::absolute(path, ignored).lexically_normal().string();
}

std::int64_t write_stamp(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
         static_cast<std::int64_t>(st.st_mtim.tv_nsec);
}

double seconds_since_write(const struct stat& st, const timespec& now) {
  return static_cast<double>(now.tv_sec - st.st_mtim.tv_sec) +
         static_cast<double>(now.tv_nsec - st.st_mtim.tv_nsec) / 1e9;
}

EntryKind kind_of(mode_t mode) {
  if (S_ISLNK(mode)) return EntryKind::link;
  if (S_ISDIR(mode)) return EntryKind::folder;
  if (S_ISREG(mode)) return EntryKind::file;
  return EntryKind::other;
}

}  // namespace

namespace {
// Whether any other process has the file (device and inode) open for writing, looked up through
// /proc: for when the system refuses a lease (a file of another owner, a file system without
// leases). Processes of other users cannot be seen; their writes go unnoticed.
bool written_by_others(const struct stat& file) {
  std::error_code error;
  std::string self = std::to_string(::getpid());
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    std::string pid = process.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    std::error_code fd_error;
    for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fd_error)) {
      struct stat st {};
      if (sys().stat(fd.path().c_str(), &st) != 0 || st.st_dev != file.st_dev ||
          st.st_ino != file.st_ino) {
        continue;
      }
      std::ifstream info(process.path() / "fdinfo" / fd.path().filename());
      std::string key, flags;
      while (info >> key >> flags) {
        if (key == "flags:" && (std::stoul(flags, nullptr, 8) & O_ACCMODE) != O_RDONLY) {
          return true;
        }
      }
    }
  }
  return false;
}
}  // namespace

Holding held_by_others(int fd) {
  // A script's lock: the process that watches a running script holds a shared lock on it.
  if (sys().flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return Holding::held;
  } else {
    sys().flock(fd, LOCK_UN);
  }
  // A read lease is refused while anyone has the file open for writing.
  if (sys().fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
    sys().fcntl(fd, F_SETLEASE, F_UNLCK);
    return Holding::free;
  }
  if (errno == EAGAIN) return Holding::held;
  struct stat st {};
  if (sys().fstat(fd, &st) != 0) return Holding::unknown;
  if (written_by_others(st)) return Holding::held;
  // A lease is only for the file's owner, and /proc shows only this user's processes (all of
  // them to root): another user's writer cannot be seen.
  uid_t self = ::geteuid();
  return st.st_uid == self || self == 0 ? Holding::free : Holding::unknown;
}

}  // namespace posix

using posix::absolute;
using posix::find_entry;
using posix::inside;
using posix::is_folder;
using posix::join;
using posix::kind_of;
using posix::named;
using posix::open_failure_number;
using posix::real_path;
using posix::resource_failure;
using posix::seconds_since_write;
using posix::sys;
using posix::write_stamp;

namespace {
void close_descriptor(int& fd) {
  sys().close(fd);
}
}  // namespace

PosixPlatform::PosixPlatform(PosixOptions options)
    : prefix_(options.wine_prefix),
      locale_(std::make_unique<Locale>(options.locale)),
      open_files_(&close_descriptor) {
  if (prefix_.empty()) prefix_ = posix::env("WINEPREFIX");
  if (prefix_.empty()) prefix_ = posix::env("HOME") + "/.wine";
  // Made absolute once, here: the script and the companion run in other folders, where a
  // relative prefix would name another one (and Wine refuses it).
  prefix_ = absolute(prefix_);
  // A reader of standard error that has gone must not end the program: the write fails and the
  // ticks go on.
  ::signal(SIGPIPE, SIG_IGN);
}

PosixPlatform::~PosixPlatform() {
  close_all();
  if (instance_socket_ >= 0) sys().close(instance_socket_);
}

void PosixPlatform::set_jet_engine(std::unique_ptr<JetEngine> engine) {
  engine_ = std::move(engine);
}

// --- Drives and paths ----------------------------------------------------------------------

std::optional<std::string> PosixPlatform::drive_folder(char letter) {
  std::string link = prefix_ + "/dosdevices/" + std::string(1, letter) + ":";
  std::string folder = real_path(link);
  if (folder.empty() || !is_folder(folder)) return std::nullopt;
  return folder;
}

std::string PosixPlatform::current_drive() {
  std::string cwd = real_path(".");
  // A working directory that has been deleted lies on no drive.
  if (cwd.empty()) return "c:";
  std::string best;
  std::size_t best_length = 0;
  for (const std::string& drive : drives()) {
    std::optional<std::string> folder = drive_folder(drive[0]);
    if (folder && inside(cwd, *folder) && (best.empty() || folder->size() > best_length)) {
      best = drive;
      best_length = folder->size();
    }
  }
  return best.empty() ? std::string("c:") : best;
}

std::vector<std::string> PosixPlatform::drives() {
  std::vector<std::string> result;
  DIR* d = sys().opendir((prefix_ + "/dosdevices").c_str());
  if (d == nullptr) return result;
  while (dirent* e = sys().readdir(d)) {
    std::string name = e->d_name;
    if (name.size() == 2 && name[1] == ':' && name[0] >= 'a' && name[0] <= 'z') {
      result.push_back(name);
    }
  }
  sys().closedir(d);
  std::sort(result.begin(), result.end());
  return result;
}

std::optional<std::string> PosixPlatform::drives_note() {
  if (!drives().empty()) return std::nullopt;
  // Every path would then be "not found": this says why.
  return "the Wine prefix " + prefix_ + " has no drives (no dosdevices/x: links)";
}

std::optional<std::string> PosixPlatform::native_path(const std::string& dos_path) {
  return resolve(parse_dos_path(dos_path), false);
}

std::optional<std::string> PosixPlatform::resolve(const DosPath& p, bool folder_only) {
  std::string base;
  if (p.is_unc()) {
    // Server and share names, like every name of a path, whatever their case.
    std::string unc = prefix_ + "/dosdevices/unc";
    std::optional<std::string> server = find_entry(unc, p.unc_server);
    if (!server) return std::nullopt;
    std::optional<std::string> share = find_entry(join(unc, *server), p.unc_share);
    if (!share) return std::nullopt;
    base = join(join(unc, *server), *share);
    if (!is_folder(base)) return std::nullopt;
  } else if (p.drive != 0 || p.rooted) {
    std::optional<std::string> folder = drive_folder(p.drive != 0 ? p.drive : current_drive()[0]);
    if (!folder) return std::nullopt;
    base = *folder;
  } else {
    base = real_path(".");
  }
  std::string path = base;
  for (std::size_t i = 0; i < p.components.size(); ++i) {
    const std::string& component = p.components[i];
    bool last = i + 1 == p.components.size();
    if (component == ".") continue;
    if (component == "..") {
      if (path.size() > base.size()) path.erase(path.rfind('/'));
      continue;
    }
    std::optional<std::string> entry = find_entry(path, component);
    if (last && !folder_only) {
      path = join(path, entry ? *entry : component);
    } else {
      if (!entry || !is_folder(join(path, *entry))) return std::nullopt;
      path = join(path, *entry);
    }
  }
  return path;
}

// --- Files ---------------------------------------------------------------------------------

bool PosixPlatform::scan(
    const std::string& pattern,
    const std::function<void(const std::string&, const std::string&, int, unsigned char)>& each) {
  DosPath p = parse_dos_path(pattern);
  if (p.components.empty()) return false;
  std::optional<std::string> folder = resolve(p.parent(), true);
  if (!folder) return false;
  DIR* d = sys().opendir(folder->c_str());
  if (d == nullptr) {
    // Out of descriptors, a folder that is there would look empty: "not found" is then a lie.
    if (auto f = resource_failure(errno, "cannot read the folder of '" + pattern + "'")) {
      throw *f;
    }
    return false;
  }
  text::Wildcard wildcard(p.leaf());
  while (dirent* e = sys().readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == ".." || !wildcard.matches(name)) continue;
    each(*folder, name, ::dirfd(d), e->d_type);
  }
  sys().closedir(d);
  return true;
}

std::vector<std::string> PosixPlatform::dir_all(const std::string& pattern) {
  std::vector<std::string> names;
  scan(pattern, [&](const std::string& folder, const std::string& name, int, unsigned char) {
    if (name[0] == '.') return;  // hidden
    struct stat st {};
    if (sys().stat(join(folder, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    names.push_back(name);
  });
  sort_names(names);
  return names;
}

std::optional<FileFacts> PosixPlatform::file_facts(const std::string& path) {
  std::optional<std::string> native = native_path(path);
  struct stat st {};
  if (!native || sys().stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  FileFacts facts;
  facts.size = static_cast<std::uint64_t>(st.st_size);
  facts.seconds_since_write = seconds_since_write(st, now);
  facts.write_stamp = write_stamp(st);
  // As Wine sees it: a file its owner may not write is read-only.
  facts.read_only = (st.st_mode & S_IWUSR) == 0;
  int fd = sys().open(native->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) {
    if (auto f = resource_failure(errno, "cannot look at '" + path + "'")) throw *f;
    // Not even readable: whether anyone writes it cannot be told.
    facts.use_unknown = st.st_uid != ::geteuid() && ::geteuid() != 0;
  } else {
    posix::Holding holding = posix::held_by_others(fd);
    facts.in_use = holding == posix::Holding::held;
    facts.use_unknown = holding == posix::Holding::unknown;
    sys().close(fd);
  }
  return facts;
}

std::vector<Entry> PosixPlatform::entries(const std::string& pattern) {
  std::vector<Entry> found;
  scan(pattern,
       [&](const std::string&, const std::string& name, int folder_fd, unsigned char type) {
         // The kind as the listing gives it; looked up only where the file system does not say.
         EntryKind kind = type == DT_REG   ? EntryKind::file
                          : type == DT_DIR ? EntryKind::folder
                          : type == DT_LNK ? EntryKind::link
                                           : EntryKind::other;
         if (type == DT_UNKNOWN) {
           struct stat st {};
           if (sys().fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
           kind = kind_of(st.st_mode);
         }
         found.push_back(Entry{name, kind, name[0] == '.', false});
       });
  sort_entries(found);
  return found;
}

void PosixPlatform::remove_entry(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (p.components.empty() || !resolve(p.parent(), true)) {
    throw named(failure::kPathNotFound, "cannot delete", path);
  }
  std::optional<std::string> native = resolve(p, false);
  struct stat st {};
  if (!native || sys().lstat(native->c_str(), &st) != 0) {
    throw named(failure::kFileNotFound, "cannot delete", path);
  }
  // A folder's contents are never the program's to remove.
  if (S_ISDIR(st.st_mode)) throw named(failure::kPathFileAccessError, "a folder stands at", path);
  // unlink() removes a link itself, never what it points to.
  if (sys().unlink(native->c_str()) != 0) {
    throw named(open_failure_number(errno), "cannot delete", path);
  }
}

void PosixPlatform::clear_read_only(const std::string& path) {
  std::optional<std::string> native = native_path(path);
  int fd =
      native ? sys().open(native->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0) : -1;
  if (fd < 0) throw named(failure::kFileNotFound, "cannot make writable", path);
  struct stat st {};
  int error = 0;
  if (sys().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = EINVAL;
  } else if ((st.st_mode & S_IWUSR) == 0 && sys().fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0) {
    error = errno;
  }
  sys().close(fd);
  if (error != 0) throw named(open_failure_number(error), "cannot make writable", path);
}

void PosixPlatform::kill(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (!resolve(p.parent(), true)) fail(failure::kPathNotFound);
  std::optional<std::string> native = resolve(p, false);
  struct stat st {};
  if (!native || sys().lstat(native->c_str(), &st) != 0) fail(failure::kFileNotFound);
  if (S_ISDIR(st.st_mode)) fail(failure::kPathFileAccessError);
  if (sys().unlink(native->c_str()) != 0) {
    fail(errno == EACCES || errno == EPERM || errno == EROFS ? failure::kPermissionDenied
                                                             : failure::kPathFileAccessError);
  }
}

// --- Jet engine ----------------------------------------------------------------------------

namespace posix {
std::optional<std::string> file_identity(const std::string& file) {
  struct stat st {};
  if (sys().stat(file.c_str(), &st) != 0) return std::nullopt;
  return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ctim.tv_sec) + "." +
         std::to_string(st.st_ctim.tv_nsec) + " " + std::to_string(st.st_ino);
}
}  // namespace posix

JetEngine& PosixPlatform::jet_engine() {
  if (!engine_) throw jet_contract::no_engine();
  return *engine_;
}

JetResult PosixPlatform::query(const std::string& database, const std::string& sql) {
  if (!engine_) throw jet_contract::no_engine();
  std::optional<std::string> native = native_path(database);
  if (!native) throw jet_contract::file_not_found(database);
  try {
    return jet_contract::run_query(*engine_, *native, sql);
  } catch (const Failure& f) {
    // The engine names the host's file; the shop's IT knows it by the program's own path.
    std::string t = f.text();
    for (std::size_t at = t.find(*native); at != std::string::npos;
         at = t.find(*native, at + database.size())) {
      t.replace(at, native->size(), database);
    }
    throw Failure(f.number(), t);
  }
}

}  // namespace qano
