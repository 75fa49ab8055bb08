#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/dos_path.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_host.h"

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

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

bool sharing_error(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool has_wildcard(const std::string& leaf) {
  return leaf.find_first_of("*?") != std::string::npos;
}

// Whether another process holds the file so that it may not be read alone or deleted: open for
// writing, or open without delete sharing.
bool held_by_another(const std::wstring& native) {
  HANDLE h = CreateFileW(native.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    // No right to delete it at all: whether it is still being written is all there is to tell.
    h = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) return sharing_error(GetLastError());
  CloseHandle(h);
  return false;
}

// Whether a link that points nowhere stands at `native`: the system then reports nothing there,
// yet no file can be created at the name. (Wine shows such a link neither in a folder's list nor
// in a name's attributes.) A file made to tell is gone again at once.
bool dangling_link_at(const std::wstring& native) {
  if (attributes(native)) return false;
  HANDLE h = CreateFileW(native.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Renames the open file `h` (opened with DELETE access) to `target`, over whatever stands there.
bool rename_over(HANDLE h, const std::wstring& target) {
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) +
                                    (target.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
  return SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) !=
         0;
}

bool delete_open_file(HANDLE h) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

bool drop_read_only(const std::wstring& native, DWORD a) {
  DWORD rest = a & kSettableAttributes;
  return SetFileAttributesW(native.c_str(), rest == 0 ? FILE_ATTRIBUTE_NORMAL : rest) != 0;
}

// The classic number for a program that is there but is no program Windows can run.
constexpr int kInvalidProcedureCall = 5;
constexpr int kOutOfMemory = 7;

// Why `what` could not be started: its number and a text naming it, the system's text (its %1
// filled with `program`) at the end.
[[noreturn]] void fail_start(DWORD error, const std::string& what, const std::string& program) {
  std::string detail = ": cannot start " + what + ": " + error_text(error, program);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      fail(failure::kFileNotFound, "File not found" + detail);
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_BAD_FORMAT:
    case ERROR_EXE_MARKED_INVALID:
      fail(kInvalidProcedureCall, "Invalid procedure call or argument" + detail);
    case ERROR_ACCESS_DENIED:
      fail(failure::kPermissionDenied, "Permission denied" + detail);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
    case ERROR_NO_SYSTEM_RESOURCES:
      fail(kOutOfMemory, "Out of memory" + detail);
    default:
      fail(failure::kPathFileAccessError, "Path/File access error" + detail);
  }
}

}  // namespace

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform() {
  close_all();
  for (auto& [task, process] : children_) CloseHandle(process);
  if (instance_ != nullptr) CloseHandle(instance_);
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
  // A folder is no file, nor is a link: what it points to is not the exchange folder's.
  if (!GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
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
  // A file that another process still writes cannot be opened for reading while others may not
  // write: it is still arriving. One held without delete sharing (a backup or scanning program,
  // a running script of this program) could not be deleted once filed: it waits too. Readers
  // that let it be deleted do not stand in the way.
  facts.in_use = held_by_another(native);
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
  std::vector<std::pair<std::string, Entry>> found;
  DosPath p = parse_dos_path(pattern);
  if (p.components.empty()) return {};
  const std::string leaf = p.leaf();
  std::wstring all = win_path(p.parent());
  if (all.back() != L'\\') all += L'\\';
  all += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileExW(all.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find != INVALID_HANDLE_VALUE) {
    text::Wildcard wildcard(leaf);
    do {
      std::string name = from_wide(data.cFileName);
      if (name == "." || name == ".." || !wildcard.matches(name)) continue;
      DWORD a = data.dwFileAttributes;
      Entry e;
      e.name = name;
      e.kind = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::link
               : (a & FILE_ATTRIBUTE_DIRECTORY) != 0   ? EntryKind::folder
                                                       : EntryKind::file;
      e.hidden = (a & FILE_ATTRIBUTE_HIDDEN) != 0;
      e.system = (a & FILE_ATTRIBUTE_SYSTEM) != 0;
      e.read_only = (a & FILE_ATTRIBUTE_READONLY) != 0;
      found.emplace_back(text::fold(name), std::move(e));
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (found.empty() && !has_wildcard(leaf) && folder_exists(p) && dangling_link_at(win_path(p))) {
    Entry e;
    e.name = leaf;
    e.kind = EntryKind::link;
    found.emplace_back(text::fold(leaf), std::move(e));
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Entry> list;
  for (auto& item : found) list.push_back(std::move(item.second));
  return list;
}

void* Win32Platform::replace_with_fresh_file(const std::wstring& target, const std::string& path) {
  // Beside it, so that the rename stays within the folder.
  static unsigned serial = 0;
  std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
  std::wstring fresh = folder + L"~qano" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++serial) + L".tmp";
  HANDLE h = CreateFileW(fresh.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    fail(open_failure_number(error), standard_text(open_failure_number(error)) +
                                         std::string(": cannot write beside ") + quoted(path) +
                                         ": " + error_text(error));
  }
  // A rename replaces the entry itself: a link goes, what it points to stays as it was.
  bool renamed = rename_over(h, target);
  DWORD error = renamed ? 0 : GetLastError();
  if (!renamed && error == ERROR_ACCESS_DENIED) {
    std::optional<DWORD> a = attributes(target);
    if (a && (*a & FILE_ATTRIBUTE_READONLY) != 0 && (*a & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        drop_read_only(target, *a)) {
      renamed = rename_over(h, target);
      error = renamed ? 0 : GetLastError();
    }
  }
  if (!renamed) {
    delete_open_file(h);
    CloseHandle(h);
    if (sharing_error(error) || held_by_another(target)) {
      fail(failure::kPathFileAccessError,
           "Path/File access error: another program holds " + quoted(path));
    }
    if (error == ERROR_ACCESS_DENIED) {
      fail(failure::kPermissionDenied,
           "Permission denied: cannot replace " + quoted(path) + ": " + error_text(error));
    }
    fail(failure::kPathFileAccessError,
         "Path/File access error: cannot replace " + quoted(path) + ": " + error_text(error));
  }
  return h;
}

void Win32Platform::remove_entry(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (p.components.empty() || !folder_exists(p)) {
    fail(failure::kPathNotFound, "Path not found: cannot remove " + quoted(path));
  }
  std::wstring native = win_path(p);
  std::optional<DWORD> a = attributes(native);
  if (!a && !dangling_link_at(native)) {
    fail(failure::kFileNotFound, "File not found: " + quoted(path));
  }
  if (a && (*a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // A folder's contents are never removed; nor is a link to a folder, which cannot be told
    // everywhere from the folder it points to.
    fail(failure::kPathFileAccessError,
         std::string("Path/File access error: ") +
             ((*a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? "a link to a folder stands at "
                                                       : "a folder stands at ") +
             quoted(path));
  }
  // The entry itself goes, whatever it is and whatever its attributes: a fresh file takes its
  // name, then that file is deleted. Deleting a link directly would, under Wine, delete what it
  // points to.
  HANDLE h = replace_with_fresh_file(native, path);
  bool deleted = delete_open_file(h);
  DWORD error = GetLastError();
  CloseHandle(h);
  if (!deleted) {
    fail(failure::kPathFileAccessError,
         "Path/File access error: cannot remove " + quoted(path) + ": " + error_text(error));
  }
}

void Win32Platform::clear_read_only(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (p.components.empty() || !folder_exists(p)) {
    fail(failure::kPathNotFound, "Path not found: " + quoted(path));
  }
  std::wstring native = win_path(p);
  std::optional<DWORD> a = attributes(native);
  if (!a) fail(failure::kFileNotFound, "File not found: " + quoted(path));
  if ((*a & FILE_ATTRIBUTE_READONLY) == 0) return;
  if (!drop_read_only(native, *a)) {
    DWORD error = GetLastError();
    fail(
        error == ERROR_ACCESS_DENIED ? failure::kPermissionDenied : failure::kPathFileAccessError,
        std::string(error == ERROR_ACCESS_DENIED ? "Permission denied" : "Path/File access error") +
            ": cannot make " + quoted(path) + " writable: " + error_text(error));
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
  std::optional<DWORD> a = attributes(native);
  if (a && (*a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    fail(failure::kPathFileAccessError,
         "Path/File access error: a folder stands at " + quoted(path));
  }
  if (truncate) {
    // Always a fresh file: every entry at the name goes first (case twins too, which a folder
    // that Wine maps from Linux can hold), then a new file takes the name.
    std::string leaf = parse_dos_path(path).leaf();
    if (!has_wildcard(leaf)) {
      std::string parent = path.substr(0, path.find_last_of("\\/") + 1);
      for (const Entry& e : entries(path)) {
        if (e.kind == EntryKind::folder) {
          fail(failure::kPathFileAccessError,
               "Path/File access error: a folder stands at " + quoted(parent + e.name));
        }
        remove_entry(parent + e.name);
      }
    }
    open_files_[number] = replace_with_fresh_file(native, path);
    return;
  }
  // The log's own name is never followed when it is a link.
  if (a && (*a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    fail(failure::kPathFileAccessError, "Path/File access error: a link stands at " + quoted(path));
  }
  // Refused by the attribute itself, also where the system would let an administrator through.
  if (a && (*a & FILE_ATTRIBUTE_READONLY) != 0) fail(failure::kPermissionDenied);
  // Appending takes only the right to add at the end: every line lands after what is there,
  // whoever else appends. Others may read the file while it is open. A missing file is created
  // only where nothing stands: never through a link that points nowhere.
  HANDLE h = CreateFileW(native.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, a ? OPEN_EXISTING : CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (!a && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)) {
      fail(failure::kPathFileAccessError,
           "Path/File access error: a link stands at " + quoted(path));
    }
    fail(open_failure_number(error));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(h);
    fail(failure::kPathFileAccessError, "Path/File access error: a link stands at " + quoted(path));
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
      if ((*a & FILE_ATTRIBUTE_DIRECTORY) != 0) fail(failure::kPathFileAccessError);
      if ((*a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        fail(failure::kPathFileAccessError,
             "Path/File access error: a link stands at " + quoted(path));
      }
      if ((*a & FILE_ATTRIBUTE_READONLY) != 0) fail(failure::kPermissionDenied);
    } else if (dangling_link_at(native)) {
      fail(failure::kPathFileAccessError,
           "Path/File access error: a link stands at " + quoted(path));
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

  // A batch script runs in the command interpreter; "/s" makes it take the quoted path whole.
  std::wstring application;
  std::wstring command;
  std::string started = what;  // what a failure to start names
  std::string named = path;    // what fills the system's text
  HANDLE held = nullptr;
  if (is_script(path)) {
    application = interpreter_.empty() ? system_folder() + L"\\cmd.exe" : interpreter_;
    command = L"cmd.exe /d /s /c \"\"" + program + L"\"\"";
    std::string interpreter = from_wide(application);
    started = what + " in the command interpreter " + quoted(interpreter);
    named = interpreter;
    std::optional<DWORD> ia = attributes(application);
    if (!ia || (*ia & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      fail(failure::kFileNotFound, "File not found: the command interpreter " +
                                       quoted(interpreter) + " is not there to run " + what);
    }
    // The interpreter inherits a hold on its script that lets others read it but neither write
    // nor delete it: the script stays as it is for as long as it runs, and any run of this
    // program sees it held (file_facts), even after this one has ended.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    held = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (sharing_error(error)) {
        fail(failure::kPathFileAccessError,
             "Path/File access error: another program holds " + what);
      }
      fail(open_failure_number(error), standard_text(open_failure_number(error)) +
                                           std::string(": cannot start ") + what + ": " +
                                           error_text(error, path));
    }
  } else {
    application = program;
    command = L"\"" + program + L"\"";
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(style);
  // Only the hold on the script is inherited, nothing else of the program's.
  std::vector<unsigned char> list;
  if (held != nullptr) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    list.resize(size);
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size) ||
        !UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                   &held, sizeof held, nullptr, nullptr)) {
      DWORD error = GetLastError();
      CloseHandle(held);
      fail_start(error, started, named);
    }
  }
  PROCESS_INFORMATION process{};
  // A console of its own, shown in the style asked for.
  BOOL created = CreateProcessW(
      application.c_str(), command.data(), nullptr, nullptr, held != nullptr ? TRUE : FALSE,
      CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT |
          (held != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0),
      nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process);
  DWORD error = created ? 0 : GetLastError();
  if (held != nullptr) {
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    CloseHandle(held);  // the interpreter's copy holds the script from now on
  }
  if (!created) fail_start(error, started, named);
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

void Win32Platform::set_command_interpreter(const std::string& path) {
  interpreter_ = path.empty() ? std::wstring() : win_path(parse_dos_path(path));
}

// --- One program at a time -----------------------------------------------------------------

bool Win32Platform::claim_single_instance() {
  if (instance_ != nullptr) return true;
  // Global\: one per machine, whichever user session started it.
  for (const wchar_t* name :
       {L"Global\\qanocontrol.single-instance", L"qanocontrol.single-instance"}) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    DWORD error = GetLastError();
    if (mutex != nullptr && error != ERROR_ALREADY_EXISTS) {
      instance_ = mutex;
      return true;
    }
    if (mutex != nullptr) CloseHandle(mutex);
    // Denied: another session's program made it. Any other refusal: the session's own name,
    // and when that is refused too, the program runs unguarded rather than not at all.
    if (mutex != nullptr || error == ERROR_ACCESS_DENIED) break;
    if (name[0] != L'G') return true;
  }
  // The other one's window to the front, with the box it shows when there is one; in another
  // user session it is not found.
  if (HWND window = FindWindowW(kWin32WindowClass, nullptr)) {
    if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
    HWND popup = GetLastActivePopup(window);
    SetForegroundWindow(popup != nullptr ? popup : window);
  }
  return false;
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
