#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/dos_path.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace qano {

using win32::error_text;
using win32::from_wide;
using win32::to_wide;

namespace {

// The Win32 form of a parsed DOS path: what Windows itself would make of the text (blanks and
// dots at its end dropped, "/" read as "\").
std::wstring win_path(const DosPath& p) {
  std::string s;
  if (p.is_unc()) {
    s = "\\\\" + p.unc_server + "\\" + p.unc_share;
  } else if (p.drive != 0) {
    s = {p.drive, ':'};
  }
  bool separate = p.rooted || p.is_unc();
  for (const std::string& c : p.components) {
    if (separate) s += '\\';
    s += c;
    separate = true;
  }
  if (p.components.empty() && p.rooted && !p.is_unc()) s += '\\';
  if (s.empty()) s = ".";
  return to_wide(s);
}

std::optional<DWORD> attributes(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return a;
}

bool is_folder(const std::wstring& path) {
  std::optional<DWORD> a = attributes(path);
  return a && (*a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder that holds the file `p` names, which must exist for the file to be reached.
bool folder_exists(const DosPath& p) {
  return is_folder(win_path(p.parent()));
}

int open_failure_number(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return failure::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return failure::kPermissionDenied;
    default:
      return failure::kPathFileAccessError;
  }
}

// The failure for a system error that says a resource ran out; nothing for any other.
std::optional<int> resource_failure_number(DWORD error) {
  switch (error) {
    case ERROR_TOO_MANY_OPEN_FILES:
      return failure::kTooManyFiles;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
      return failure::kOutOfMemory;
    default:
      return std::nullopt;
  }
}

// The failure's text naming the DOS path it concerns.
Failure named(int number, const std::string& doing, const std::string& path) {
  return Failure(number, std::string(standard_text(number)) + ": " + doing + " '" + path + "'");
}

// What the classic Shell reports for a file that is there but cannot be started.
constexpr int kInvalidProcedureCall = 5;

bool is_link(DWORD a) {
  return (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removes the entry at `native` itself: a link (never what it points to) or a file whatever its
// attributes. The system's error, or 0.
DWORD remove_native(const std::wstring& native, DWORD a) {
  if ((a & FILE_ATTRIBUTE_READONLY) != 0 && !is_link(a)) {
    SetFileAttributesW(native.c_str(), (a & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL);
  }
  BOOL done = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(native.c_str())
                                                  : DeleteFileW(native.c_str());
  return done ? 0 : GetLastError();
}

int remove_failure_number(DWORD error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
    return failure::kPathFileAccessError;
  }
  return open_failure_number(error);
}

int write_failure_number(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
             ? failure::kDiskFull
             : failure::kPathFileAccessError;
}

bool is_script(const std::string& dos_path) {
  std::string leaf = parse_dos_path(dos_path).leaf();
  return text::wildcard_match("*.bat", leaf) || text::wildcard_match("*.cmd", leaf);
}

std::wstring system_folder() {
  wchar_t buffer[MAX_PATH];
  UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring(L"C:\\Windows\\System32");
}

char two_digit(int v, int place) {
  return static_cast<char>('0' + (v / place) % 10);
}

std::string locale_info(LCTYPE type, const char* otherwise) {
  wchar_t buffer[16];
  int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16);
  if (n <= 1) return otherwise;
  return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
}

}  // namespace

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform() {
  close_all();
  for (auto& [task, process] : children_) CloseHandle(process);
  if (instance_mutex_ != nullptr) CloseHandle(instance_mutex_);
}

void Win32Platform::set_jet_engine(std::unique_ptr<JetEngine> engine) {
  engine_ = std::move(engine);
}

void Win32Platform::set_message_box(std::function<void(const std::string&)> show) {
  message_box_ = std::move(show);
}

// --- Files ---------------------------------------------------------------------------------

namespace {
constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
}  // namespace

std::vector<std::string> Win32Platform::dir_all(const std::string& pattern) {
  std::vector<std::string> names;
  DosPath p = parse_dos_path(pattern);
  if (p.components.empty()) return names;
  const std::string leaf = p.leaf();
  WIN32_FIND_DATAW entry{};
  if (leaf.find_first_of("*?") == std::string::npos) {
    // One name: looked up alone, and given as the folder stores it.
    if (leaf == "." || leaf == "..") return names;
    HANDLE find = FindFirstFileExW(win_path(p).c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return names;
    FindClose(find);
    if ((entry.dwFileAttributes & kNotOrdinary) == 0) names.push_back(from_wide(entry.cFileName));
    return names;
  }
  // Every entry of the folder, matched here: the system's own matching would also take names
  // whose short 8.3 form matches ("acq_1.zipx" for "*.zip").
  std::wstring all = win_path(p.parent());
  if (all.back() != L'\\') all += L'\\';
  all += L'*';
  HANDLE find = FindFirstFileExW(all.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return names;  // no folder, or nothing in it
  text::Wildcard wildcard(leaf);
  do {
    if ((entry.dwFileAttributes & kNotOrdinary) != 0) continue;
    std::string name = from_wide(entry.cFileName);
    if (wildcard.matches(name)) names.push_back(std::move(name));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& n : names) keyed.emplace_back(text::fold(n), std::move(n));
  std::sort(keyed.begin(), keyed.end());
  names.clear();
  for (auto& k : keyed) names.push_back(std::move(k.second));
  return names;
}

std::optional<FileFacts> Win32Platform::file_facts(const std::string& path) {
  std::wstring native = win_path(parse_dos_path(path));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  FILETIME now_time{};
  GetSystemTimeAsFileTime(&now_time);
  auto ticks = [](const FILETIME& t) {
    return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                  t.dwLowDateTime);
  };
  FileFacts facts;
  facts.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.seconds_since_write =
      static_cast<double>(ticks(now_time) - ticks(data.ftLastWriteTime)) / 1e7;
  facts.write_stamp = ticks(data.ftLastWriteTime);
  facts.read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  // A file that another process still writes cannot be opened for reading while others may
  // not write: it is still arriving. One held without letting others delete it (a backup or
  // scanning program, or a running script's hold on agglis.bat) refuses the delete access: its
  // script could not remove it. Other readers do not stand in the way.
  HANDLE h = CreateFileW(native.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    facts.in_use = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
  } else {
    CloseHandle(h);
  }
  return facts;
}

void Win32Platform::kill(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (!folder_exists(p)) fail(failure::kPathNotFound);
  std::wstring native = win_path(p);
  std::optional<DWORD> a = attributes(native);
  if (p.components.empty() || !a) fail(failure::kFileNotFound);
  if ((*a & FILE_ATTRIBUTE_DIRECTORY) != 0) fail(failure::kPathFileAccessError);
  if (!DeleteFileW(native.c_str())) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) fail(failure::kFileNotFound);
    fail(error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
             ? failure::kPermissionDenied
             : failure::kPathFileAccessError);
  }
}

std::vector<Entry> Win32Platform::entries(const std::string& pattern) {
  std::vector<Entry> found;
  DosPath p = parse_dos_path(pattern);
  if (p.components.empty()) return found;
  std::wstring all = win_path(p.parent());
  if (all.back() != L'\\') all += L'\\';
  all += L'*';
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileExW(all.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    if (std::optional<int> n = resource_failure_number(GetLastError())) {
      throw Failure(
          *n, std::string(standard_text(*n)) + ": cannot read the folder of '" + pattern + "'");
    }
    return found;
  }
  text::Wildcard wildcard(p.leaf());
  do {
    std::string name = from_wide(entry.cFileName);
    if (name == "." || name == ".." || !wildcard.matches(name)) continue;
    DWORD a = entry.dwFileAttributes;
    EntryKind kind = is_link(a)                            ? EntryKind::link
                     : (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder
                     : (a & FILE_ATTRIBUTE_DEVICE) != 0    ? EntryKind::other
                                                           : EntryKind::file;
    found.push_back(Entry{std::move(name), kind, (a & FILE_ATTRIBUTE_HIDDEN) != 0,
                          (a & FILE_ATTRIBUTE_SYSTEM) != 0, (a & FILE_ATTRIBUTE_READONLY) != 0});
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(found.begin(), found.end(),
            [](const Entry& x, const Entry& y) { return text::fold(x.name) < text::fold(y.name); });
  return found;
}

void Win32Platform::remove_entry(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (p.components.empty() || !folder_exists(p)) {
    throw named(failure::kPathNotFound, "cannot delete", path);
  }
  std::wstring native = win_path(p);
  std::optional<DWORD> a = attributes(native);
  if (!a) throw named(failure::kFileNotFound, "cannot delete", path);
  // A folder's contents are never the program's to remove.
  if ((*a & FILE_ATTRIBUTE_DIRECTORY) != 0 && !is_link(*a)) {
    throw named(failure::kPathFileAccessError, "a folder stands at", path);
  }
  if (DWORD error = remove_native(native, *a); error != 0) {
    throw named(remove_failure_number(error), "cannot delete", path);
  }
}

void Win32Platform::clear_read_only(const std::string& path) {
  std::wstring native = win_path(parse_dos_path(path));
  std::optional<DWORD> a = attributes(native);
  if (!a) throw named(failure::kFileNotFound, "cannot make writable", path);
  if ((*a & FILE_ATTRIBUTE_READONLY) == 0 || is_link(*a)) return;
  DWORD cleared = *a & ~FILE_ATTRIBUTE_READONLY;
  if (!SetFileAttributesW(native.c_str(), cleared == 0 ? FILE_ATTRIBUTE_NORMAL : cleared)) {
    throw named(open_failure_number(GetLastError()), "cannot make writable", path);
  }
}

std::wstring Win32Platform::numbered_target(int number, const std::string& path) {
  if (number < 1 || number > 511) fail(failure::kBadFileNumber);
  if (open_files_.count(number) != 0) fail(failure::kFileAlreadyOpen);
  DosPath p = parse_dos_path(path);
  if (p.components.empty() || !folder_exists(p)) fail(failure::kPathNotFound);
  return win_path(p);
}

void Win32Platform::open_numbered(int number, const std::string& path, bool truncate) {
  std::wstring native = numbered_target(number, path);
  if (std::optional<DWORD> a = attributes(native)) {
    if (is_link(*a) && !truncate) {
      // The log's own name is a link: whoever planted it would have the lines written elsewhere.
      throw named(failure::kPathFileAccessError, "will not write through the link", path);
    }
    if ((*a & FILE_ATTRIBUTE_DIRECTORY) != 0 && !is_link(*a)) {
      throw named(failure::kPathFileAccessError, "a folder stands at", path);
    }
    if (truncate) {
      // A fresh file in place of whatever stands there: a link goes itself, never what it points
      // to; a read-only or hidden file goes too.
      if (DWORD error = remove_native(native, *a); error != 0 && error != ERROR_FILE_NOT_FOUND) {
        throw named(remove_failure_number(error), "cannot replace", path);
      }
    } else if ((*a & FILE_ATTRIBUTE_READONLY) != 0) {
      // Refused by the attribute itself, also where the system would let an administrator in.
      fail(failure::kPermissionDenied);
    }
  }
  // Appending takes only the right to add at the end: every line lands after what is there,
  // whoever else appends. Others may read the file while it is open.
  DWORD access = truncate ? GENERIC_WRITE : FILE_APPEND_DATA;
  DWORD share = truncate ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h =
      CreateFileW(native.c_str(), access, share, nullptr, truncate ? CREATE_NEW : OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS)
      throw named(failure::kPathFileAccessError, "cannot replace", path);
    if (std::optional<int> n = resource_failure_number(error)) fail(*n);
    fail(open_failure_number(error));
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    fail(failure::kPathFileAccessError);
  }
  open_files_[number] = h;
}

void Win32Platform::open_append(int number, const std::string& path) {
  open_numbered(number, path, false);
}

void Win32Platform::open_output(int number, const std::string& path) {
  open_numbered(number, path, true);
}

std::optional<Failure> Win32Platform::open_append_failure(int number, const std::string& path) {
  try {
    std::wstring native = numbered_target(number, path);
    if (std::optional<DWORD> a = attributes(native)) {
      if (is_link(*a))
        throw named(failure::kPathFileAccessError, "will not write through the link", path);
      if ((*a & FILE_ATTRIBUTE_DIRECTORY) != 0) fail(failure::kPathFileAccessError);
      if ((*a & FILE_ATTRIBUTE_READONLY) != 0) fail(failure::kPermissionDenied);
    }
  } catch (const Failure& f) {
    return f;
  }
  return std::nullopt;
}

void Win32Platform::write_line(int number, const std::string& line) {
  auto it = open_files_.find(number);
  if (it == open_files_.end()) fail(failure::kBadFileNumber);
  // WriteFile keeps nothing back in the program: the line is the system's at once, and on disk
  // whatever becomes of the program.
  std::string bytes = text::to_ansi(line) + "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(it->second, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                   &written, nullptr)) {
      fail(write_failure_number(GetLastError()));
    }
    if (written == 0) fail(failure::kDiskFull);
    done += written;
  }
}

void Win32Platform::close_all() {
  for (auto& [number, handle] : open_files_) CloseHandle(handle);
  open_files_.clear();
}

// --- Processes -----------------------------------------------------------------------------

void Win32Platform::reap_children() {
  for (auto it = children_.begin(); it != children_.end();) {
    if (WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT) {
      ++it;
    } else {
      CloseHandle(it->second);
      it = children_.erase(it);
    }
  }
}

TaskId Win32Platform::shell(const std::string& path, WindowStyle style,
                            const std::string& working_folder) {
  reap_children();
  std::string what = "'" + path + "'";
  std::wstring program = win_path(parse_dos_path(path));
  std::optional<DWORD> a = attributes(program);
  if (!a || (*a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    fail(failure::kFileNotFound, "File not found: cannot start " + what);
  }
  std::wstring folder;
  if (!working_folder.empty()) {
    folder = win_path(parse_dos_path(working_folder));
    if (!is_folder(folder)) fail(failure::kPathNotFound, "Path not found: " + working_folder);
  }

  // A batch script runs in the command interpreter; "/s" makes it take the quoted path whole,
  // "/d" keeps a user's AutoRun command from running first.
  std::wstring application;
  std::wstring command;
  bool script = is_script(path);
  if (script) {
    application = system_folder() + L"\\cmd.exe";
    command = L"cmd.exe /d /s /c \"\"" + program + L"\"\"";
    std::optional<DWORD> interpreter = attributes(application);
    if (!interpreter || (*interpreter & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      fail(failure::kFileNotFound, "File not found: cannot start " + what +
                                       ": the command interpreter '" + from_wide(application) +
                                       "' is missing");
    }
  } else {
    application = program;
    command = L"\"" + program + L"\"";
  }

  // The script holds its own file for as long as it runs: a handle that the interpreter
  // inherits, opened without letting others write or delete it. It outlives this program, so a
  // later run sees agglis.bat in use (file_facts) and neither rewrites it nor starts another.
  HANDLE hold = INVALID_HANDLE_VALUE;
  if (script) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    hold = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hold == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (std::optional<int> n = resource_failure_number(error)) {
        fail(*n, std::string(standard_text(*n)) + ": cannot start " + what);
      }
      fail(failure::kPathFileAccessError,
           "Path/File access error: cannot hold " + what + ": " + error_text(error));
    }
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(style);
  PROCESS_INFORMATION process{};
  // A console of its own, shown in the style asked for; of the program's handles only a
  // script's hold on its file is inherited (the only inheritable one).
  BOOL started =
      CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, script ? TRUE : FALSE,
                     CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  DWORD error = started ? 0 : GetLastError();
  if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
  if (!started) {
    // The system's text with the path in place of its "%1".
    std::string why = error_text(error);
    for (std::size_t at = why.find("%1"); at != std::string::npos; at = why.find("%1", at)) {
      why.replace(at, 2, path);
      at += path.size();
    }
    if (std::optional<int> n = resource_failure_number(error)) {
      fail(*n, std::string(standard_text(*n)) + ": cannot start " + what + ": " + why);
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      fail(failure::kFileNotFound, "File not found: cannot start " + what + ": " + why);
    }
    // The file is there but is no program the system can start (a bad EXE format, a program
    // for another system, access denied).
    fail(kInvalidProcedureCall,
         "Invalid procedure call or argument: cannot start " + what + ": " + why);
  }
  CloseHandle(process.hThread);
  TaskId task = process.dwProcessId;
  auto [it, added] = children_.emplace(task, process.hProcess);
  if (!added) {  // the id of a process that ended unseen, reused
    CloseHandle(it->second);
    it->second = process.hProcess;
  }
  return task;
}

bool Win32Platform::still_running(TaskId task) {
  reap_children();
  return children_.count(task) != 0;
}

// --- Clock and regional forms --------------------------------------------------------------

Date Win32Platform::today() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return Date{st.wYear, st.wMonth, st.wDay};
}

TimeOfDay Win32Platform::time_of_day() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return TimeOfDay{st.wHour, st.wMinute, st.wSecond};
}

std::string Win32Platform::short_date(const Date& date) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  wchar_t buffer[96];
  int n =
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 96, nullptr);
  if (n > 1) return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
  // A date the system does not format (before 1601): the shops' form.
  int y = date.year;
  return {two_digit(date.day, 10),
          two_digit(date.day, 1),
          '/',
          two_digit(date.month, 10),
          two_digit(date.month, 1),
          '/',
          two_digit(y, 1000),
          two_digit(y, 100),
          two_digit(y, 10),
          two_digit(y, 1)};
}

std::string Win32Platform::long_time(const TimeOfDay& time) {
  SYSTEMTIME st{};
  st.wYear = 2000;
  st.wMonth = 1;
  st.wDay = 1;
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  wchar_t buffer[96];
  int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buffer, 96);
  if (n > 1) return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
  return {two_digit(time.hour, 10),   two_digit(time.hour, 1),   ':',
          two_digit(time.minute, 10), two_digit(time.minute, 1), ':',
          two_digit(time.second, 10), two_digit(time.second, 1)};
}

std::string Win32Platform::decimal_separator() {
  return locale_info(LOCALE_SDECIMAL, ",");
}

std::string Win32Platform::thousands_separator() {
  return locale_info(LOCALE_STHOUSAND, ".");
}

std::string Win32Platform::currency_symbol() {
  return locale_info(LOCALE_SCURRENCY, "€");
}

std::string Win32Platform::upper_case(const std::string& s) {
  return text::upper(s);
}

bool Win32Platform::claim_single_instance() {
  if (instance_mutex_ != nullptr) return true;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Global\\qanocontrol");
  DWORD error = GetLastError();
  if (mutex == nullptr && error != ERROR_ACCESS_DENIED) {
    fail(failure::kPathFileAccessError,
         "Path/File access error: cannot claim the workstation: " + error_text(error));
  }
  if (mutex == nullptr || error == ERROR_ALREADY_EXISTS) {
    // Another program runs (in this session or another one's, whose mutex this user may not
    // open): its window comes to the front where it is this session's.
    if (mutex != nullptr) CloseHandle(mutex);
    if (HWND first = FindWindowW(L"qanocontrol.Form1", nullptr)) {
      if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
      SetForegroundWindow(first);
    }
    return false;
  }
  instance_mutex_ = mutex;
  return true;
}

// --- Message box ---------------------------------------------------------------------------

void Win32Platform::message_box(const std::string& s) {
  if (message_box_) {
    message_box_(s);
    return;
  }
  MessageBoxW(nullptr, to_wide(s).c_str(), to_wide(kProgramName).c_str(), MB_OK | MB_TASKMODAL);
}

// --- Drives --------------------------------------------------------------------------------

std::string Win32Platform::current_drive() {
  std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
  cwd.resize(cwd.empty() ? 0 : GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  if (cwd.size() >= 2 && cwd[1] == L':' &&
      ((cwd[0] >= L'a' && cwd[0] <= L'z') || (cwd[0] >= L'A' && cwd[0] <= L'Z'))) {
    return {static_cast<char>(cwd[0] | 0x20), ':'};
  }
  // A working directory on a network share: the system drive, as the drive list shows then.
  return "c:";
}

std::vector<std::string> Win32Platform::drives() {
  std::vector<std::string> result;
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((mask & (DWORD{1} << i)) != 0) result.push_back({static_cast<char>('a' + i), ':'});
  }
  return result;
}

// --- Jet engine ----------------------------------------------------------------------------

JetResult Win32Platform::query(const std::string& database, const std::string& sql) {
  if (!engine_) fail(failure::kSqlError, "No database engine is available.");
  return engine_->first_row(database, sql);
}

}  // namespace qano
