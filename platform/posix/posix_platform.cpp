#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "platform/text.h"

namespace qano {

namespace {

bool is_folder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The entry of `folder` whose name equals `name` without regard to case, the exact one first.
std::optional<std::string> find_entry(const std::string& folder, const std::string& name) {
  struct stat st {};
  if (::lstat(join(folder, name).c_str(), &st) == 0) return name;
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return std::nullopt;
  std::string wanted = text::fold(name);
  std::optional<std::string> found;
  while (dirent* e = ::readdir(d)) {
    if (text::fold(e->d_name) == wanted) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::string real_path(const std::string& path) {
  char* r = ::realpath(path.c_str(), nullptr);
  if (r == nullptr) return std::string();
  std::string result(r);
  std::free(r);
  return result;
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? std::string() : std::string(v);
}

// Whether `path` lies in `folder` (both real paths).
bool inside(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

int open_failure_number(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return failure::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return failure::kPermissionDenied;
    default:
      return failure::kPathFileAccessError;
  }
}

}  // namespace

// The regional forms: LC_TIME, LC_NUMERIC and LC_MONETARY of a locale, or the shops' forms under
// C/POSIX.
struct PosixPlatform::Locale {
  locale_t time = static_cast<locale_t>(0);
  locale_t numeric = static_cast<locale_t>(0);
  locale_t monetary = static_cast<locale_t>(0);

  static locale_t open(int mask, const std::string& name) {
    if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) {
      return static_cast<locale_t>(0);
    }
    return ::newlocale(mask, name.c_str(), static_cast<locale_t>(0));
  }

  explicit Locale(const std::string& chosen) {
    auto pick = [&](const char* category) {
      if (!chosen.empty()) return chosen;
      for (const char* var : {"LC_ALL", category, "LANG"}) {
        std::string v = env(var);
        if (!v.empty()) return v;
      }
      return std::string("C");
    };
    time = open(LC_TIME_MASK, pick("LC_TIME"));
    numeric = open(LC_NUMERIC_MASK, pick("LC_NUMERIC"));
    monetary = open(LC_MONETARY_MASK, pick("LC_MONETARY"));
  }
  ~Locale() {
    if (time) ::freelocale(time);
    if (numeric) ::freelocale(numeric);
    if (monetary) ::freelocale(monetary);
  }
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
};

PosixPlatform::PosixPlatform(PosixOptions options)
    : prefix_(options.wine_prefix), locale_(std::make_unique<Locale>(options.locale)) {
  if (prefix_.empty()) prefix_ = env("WINEPREFIX");
  if (prefix_.empty()) prefix_ = env("HOME") + "/.wine";
}

PosixPlatform::~PosixPlatform() {
  close_all();
}

void PosixPlatform::set_jet_engine(std::unique_ptr<JetEngine> engine) {
  engine_ = std::move(engine);
}

void PosixPlatform::set_message_box(std::function<void(const std::string&)> show) {
  message_box_ = std::move(show);
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
  DIR* d = ::opendir((prefix_ + "/dosdevices").c_str());
  if (d == nullptr) return result;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.size() == 2 && name[1] == ':' && name[0] >= 'a' && name[0] <= 'z') {
      result.push_back(name);
    }
  }
  ::closedir(d);
  std::sort(result.begin(), result.end());
  return result;
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

std::vector<std::string> PosixPlatform::dir_all(const std::string& pattern) {
  std::vector<std::string> names;
  DosPath p = parse_dos_path(pattern);
  if (p.components.empty()) return names;
  std::optional<std::string> folder = resolve(p.parent(), true);
  if (!folder) return names;
  DIR* d = ::opendir(folder->c_str());
  if (d == nullptr) return names;
  text::Wildcard wildcard(p.leaf());
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;  // hidden, and the "." and ".." entries
    if (!wildcard.matches(e->d_name)) continue;
    struct stat st {};
    if (::stat(join(*folder, e->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(d);
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& n : names) keyed.emplace_back(text::fold(n), std::move(n));
  std::sort(keyed.begin(), keyed.end());
  names.clear();
  for (auto& k : keyed) names.push_back(std::move(k.second));
  return names;
}

std::optional<FileFacts> PosixPlatform::file_facts(const std::string& path) {
  std::optional<std::string> native = native_path(path);
  struct stat st {};
  if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  FileFacts facts;
  facts.size = static_cast<std::uint64_t>(st.st_size);
  facts.seconds_since_write = static_cast<double>(now.tv_sec - st.st_mtim.tv_sec) +
                              static_cast<double>(now.tv_nsec - st.st_mtim.tv_nsec) / 1e9;
  return facts;
}

void PosixPlatform::kill(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (!resolve(p.parent(), true)) fail(failure::kPathNotFound);
  std::optional<std::string> native = resolve(p, false);
  struct stat st {};
  if (!native || ::lstat(native->c_str(), &st) != 0) fail(failure::kFileNotFound);
  if (S_ISDIR(st.st_mode)) fail(failure::kPathFileAccessError);
  if (::unlink(native->c_str()) != 0) {
    fail(errno == EACCES || errno == EPERM || errno == EROFS ? failure::kPermissionDenied
                                                             : failure::kPathFileAccessError);
  }
}

std::string PosixPlatform::numbered_target(int number, const std::string& path) {
  if (number < 1 || number > 511) fail(failure::kBadFileNumber);
  if (open_files_.count(number) != 0) fail(failure::kFileAlreadyOpen);
  DosPath p = parse_dos_path(path);
  if (p.components.empty()) fail(failure::kPathNotFound);
  if (!resolve(p.parent(), true)) fail(failure::kPathNotFound);
  std::optional<std::string> native = resolve(p, false);
  if (!native) fail(failure::kPathNotFound);
  return *native;
}

void PosixPlatform::open_numbered(int number, const std::string& path, int flags) {
  std::string native = numbered_target(number, path);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) fail(open_failure_number(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fail(failure::kPathFileAccessError);
  }
  open_files_[number] = fd;
}

void PosixPlatform::open_append(int number, const std::string& path) {
  open_numbered(number, path, O_APPEND);
}

void PosixPlatform::open_output(int number, const std::string& path) {
  open_numbered(number, path, O_TRUNC);
}

std::optional<Failure> PosixPlatform::open_append_failure(int number, const std::string& path) {
  try {
    std::string native = numbered_target(number, path);
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) fail(failure::kPathFileAccessError);
      if (::access(native.c_str(), W_OK) != 0) fail(open_failure_number(errno));
    } else {
      // Not there: open_append would create it in its folder.
      std::string folder = native.substr(0, native.rfind('/'));
      if (folder.empty()) folder = "/";
      if (::access(folder.c_str(), W_OK | X_OK) != 0) fail(open_failure_number(errno));
    }
  } catch (const Failure& f) {
    return f;
  }
  return std::nullopt;
}

void PosixPlatform::write_line(int number, const std::string& line) {
  auto it = open_files_.find(number);
  if (it == open_files_.end()) fail(failure::kBadFileNumber);
  std::string bytes = text::to_ansi(line) + "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(it->second, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno == ENOSPC || errno == EDQUOT ? failure::kDiskFull : failure::kPathFileAccessError);
    }
    done += static_cast<std::size_t>(n);
  }
}

void PosixPlatform::close_all() {
  for (auto& [number, fd] : open_files_) ::close(fd);
  open_files_.clear();
}

// --- Clock and regional forms --------------------------------------------------------------

namespace {
std::tm local_now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

std::string format_time(locale_t loc, const char* format, const std::tm& tm) {
  char buffer[128];
  std::size_t n = ::strftime_l(buffer, sizeof buffer, format, &tm, loc);
  return std::string(buffer, n);
}

char two_digit(int v, int place) {
  return static_cast<char>('0' + (v / place) % 10);
}
}  // namespace

Date PosixPlatform::today() {
  std::tm tm = local_now();
  return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

TimeOfDay PosixPlatform::time_of_day() {
  std::tm tm = local_now();
  return TimeOfDay{tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PosixPlatform::short_date(const Date& date) {
  if (locale_->time) {
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    return format_time(locale_->time, "%x", tm);
  }
  std::string s = {two_digit(date.day, 10),   two_digit(date.day, 1),   '/',
                   two_digit(date.month, 10), two_digit(date.month, 1), '/'};
  int y = date.year;
  s += {two_digit(y, 1000), two_digit(y, 100), two_digit(y, 10), two_digit(y, 1)};
  return s;
}

std::string PosixPlatform::long_time(const TimeOfDay& time) {
  if (locale_->time) {
    std::tm tm{};
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    return format_time(locale_->time, "%X", tm);
  }
  return {two_digit(time.hour, 10),   two_digit(time.hour, 1),   ':',
          two_digit(time.minute, 10), two_digit(time.minute, 1), ':',
          two_digit(time.second, 10), two_digit(time.second, 1)};
}

std::string PosixPlatform::decimal_separator() {
  if (!locale_->numeric) return ",";
  return ::nl_langinfo_l(RADIXCHAR, locale_->numeric);
}

std::string PosixPlatform::thousands_separator() {
  if (!locale_->numeric) return ".";
  return ::nl_langinfo_l(THOUSEP, locale_->numeric);
}

std::string PosixPlatform::currency_symbol() {
  if (!locale_->monetary) return "€";
  return ::nl_langinfo_l(CURRENCY_SYMBOL, locale_->monetary);
}

std::string PosixPlatform::upper_case(const std::string& s) {
  return text::upper(s);
}

// --- Message box ---------------------------------------------------------------------------

void PosixPlatform::message_box(const std::string& s) {
  if (message_box_) {
    message_box_(s);
  } else {
    std::cerr << kProgramName << ": " << s << std::endl;
  }
}

// --- Jet engine ----------------------------------------------------------------------------

JetResult PosixPlatform::query(const std::string& database, const std::string& sql) {
  if (!engine_) fail(failure::kSqlError, "No database engine is available.");
  std::optional<std::string> native = native_path(database);
  if (!native) fail(failure::kCouldNotFindFile, "Could not find file '" + database + "'.");
  try {
    return engine_->first_row(*native, sql);
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
