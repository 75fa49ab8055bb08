// The Windows platform: files and folders through the Win32 API, and the Jet engine's queries.
// Numbered files, processes and regional forms are in win32_numbered.cpp, win32_process.cpp and
// win32_regional.cpp.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/jet/jet_contract.h"
#include "platform/support/files/name_order.h"
#include "platform/system/win32_calls.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_internal.h"

namespace qano {

namespace win32 {

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
  DWORD a = calls().GetFileAttributesW(path.c_str());
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
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return failure::kDiskFull;
    // Out of handles or memory is the machine's trouble, never the file's.
    case ERROR_TOO_MANY_OPEN_FILES:
      return failure::kTooManyFiles;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
      return failure::kOutOfMemory;
    default:
      return failure::kPathFileAccessError;
  }
}

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

std::int64_t file_time_ticks(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
}

bool sharing_error(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool has_wildcard(const std::string& leaf) {
  return leaf.find_first_of("*?") != std::string::npos;
}

bool held_by_another(const std::wstring& native) {
  // Asked for alone, with no sharing at all: refused while any other handle reads, writes or
  // deletes it, whatever that handle lets others do.
  for (DWORD access : {GENERIC_READ, static_cast<DWORD>(DELETE)}) {
    HANDLE h = calls().CreateFileW(native.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return false;
    }
    DWORD error = GetLastError();
    if (sharing_error(error)) return true;
    // No right to read it: the right to move it tells as well.
    if (error != ERROR_ACCESS_DENIED) return false;
  }
  return false;
}

// Whether a link that points nowhere stands at `native`: the system then reports nothing there,
// yet no file can be created at the name. (Wine shows such a link neither in a folder's list nor
// in a name's attributes.) A file made to tell is gone again at once.
bool dangling_link_at(const std::wstring& native) {
  if (attributes(native)) return false;
  HANDLE h = calls().CreateFileW(native.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

namespace {
// FILE_RENAME_INFO as Windows 10 1607 reads it for FileRenameInfoEx: flags in place of
// ReplaceIfExists.
constexpr DWORD kRenameReplaceIfExists = 0x1;  // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
constexpr DWORD kRenamePosixSemantics = 0x2;   // FILE_RENAME_FLAG_POSIX_SEMANTICS
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

bool set_rename_info(HANDLE h, const std::wstring& target, FILE_INFO_BY_HANDLE_CLASS kind,
                     DWORD flags_or_replace) {
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) +
                                    (target.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  // ReplaceIfExists and, for FileRenameInfoEx, the flags share the first field.
  std::memcpy(info, &flags_or_replace, sizeof flags_or_replace);
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
  return calls().SetFileInformationByHandle(h, kind, info, static_cast<DWORD>(buffer.size())) != 0;
}
}  // namespace

bool rename_open_file(HANDLE h, const std::wstring& target, bool replace) {
  if (!replace) return set_rename_info(h, target, FileRenameInfo, FALSE);
  // POSIX semantics replace a file that another program holds open (with delete sharing), as a
  // scanner does; systems before Windows 10 1607 know only the classic rename.
  if (set_rename_info(h, target, kFileRenameInfoEx,
                      kRenameReplaceIfExists | kRenamePosixSemantics)) {
    return true;
  }
  DWORD error = GetLastError();
  if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_FUNCTION &&
      error != ERROR_NOT_SUPPORTED && error != ERROR_CALL_NOT_IMPLEMENTED) {
    SetLastError(error);
    return false;
  }
  return set_rename_info(h, target, FileRenameInfo, TRUE);
}

namespace {
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

}  // namespace

bool drop_read_only(const std::wstring& native, DWORD a) {
  DWORD rest = a & kSettableAttributes;
  return calls().SetFileAttributesW(native.c_str(), rest == 0 ? FILE_ATTRIBUTE_NORMAL : rest) != 0;
}

}  // namespace win32

// The platform's own helpers (win32_internal.h) and conversions (wide.h).
using namespace win32;

namespace {

// Renames the open file `h` (opened with DELETE access) to `target`, over whatever stands there.
bool rename_over(HANDLE h, const std::wstring& target) {
  return rename_open_file(h, target, true);
}

bool delete_open_file(HANDLE h) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return calls().SetFileInformationByHandle(h, FileDispositionInfo, &disposition,
                                            sizeof disposition) != 0;
}

void close_handle(void*& handle) {
  CloseHandle(handle);
}

}  // namespace

Win32Platform::Win32Platform() : open_files_(&close_handle) {}

Win32Platform::~Win32Platform() {
  close_all();
  for (auto& [task, process] : children_) CloseHandle(process);
  if (instance_ != nullptr) CloseHandle(instance_);
}

void Win32Platform::set_jet_engine(std::unique_ptr<JetEngine> engine) {
  engine_ = std::move(engine);
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
    HANDLE find = calls().FindFirstFileExW(win_path(p).c_str(), FindExInfoBasic, &entry,
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
  HANDLE find = calls().FindFirstFileExW(all.c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return names;  // no folder, or nothing in it
  text::Wildcard wildcard(leaf);
  do {
    if ((entry.dwFileAttributes & kNotOrdinary) != 0) continue;
    std::string name = from_wide(entry.cFileName);
    if (wildcard.matches(name)) names.push_back(std::move(name));
  } while (calls().FindNextFileW(find, &entry));
  FindClose(find);
  sort_names(names);
  return names;
}

std::optional<FileFacts> Win32Platform::file_facts(const std::string& path) {
  std::wstring native = win_path(parse_dos_path(path));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  // A folder is no file, nor is a link: what it points to is not the exchange folder's.
  if (!calls().GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return std::nullopt;
  }
  FILETIME now_time{};
  GetSystemTimeAsFileTime(&now_time);
  FileFacts facts;
  facts.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.seconds_since_write =
      static_cast<double>(file_time_ticks(now_time) - file_time_ticks(data.ftLastWriteTime)) / 1e7;
  facts.write_stamp = file_time_ticks(data.ftLastWriteTime);
  facts.read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  // Open in another process at all: still being written, read by a scanner or a clerk, or run
  // by a script of this program. What is held waits for a later look.
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
  if (!calls().DeleteFileW(native.c_str())) {
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
  if (p.components.empty()) return {};
  const std::string leaf = p.leaf();
  std::wstring all = win_path(p.parent());
  if (all.back() != L'\\') all += L'\\';
  all += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = calls().FindFirstFileExW(all.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
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
      found.push_back(std::move(e));
    } while (calls().FindNextFileW(find, &data));
    FindClose(find);
  }
  if (found.empty() && !has_wildcard(leaf) && folder_exists(p) && dangling_link_at(win_path(p))) {
    Entry e;
    e.name = leaf;
    e.kind = EntryKind::link;
    found.push_back(std::move(e));
  }
  sort_entries(found);
  return found;
}

void Win32Platform::remove_own_leftovers(const std::wstring& folder) {
  if (!tidied_.insert(folder).second) return;
  // Fresh files of an earlier run cut short: they bear this program's own naming, and only one
  // program runs at a time.
  WIN32_FIND_DATAW data{};
  HANDLE find = calls().FindFirstFileExW((folder + L"~qano*.tmp").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> leftovers;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
      leftovers.push_back(folder + data.cFileName);
    }
  } while (calls().FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& leftover : leftovers) {
    try {
      remove_entry(from_wide(leftover));
    } catch (const Failure&) {
      // One that cannot go is only in the way of its own name.
    }
  }
}

void* Win32Platform::replace_with_fresh_file(const std::wstring& target, const std::string& path) {
  // Beside it, so that the rename stays within the folder.
  static unsigned serial = 0;
  std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
  remove_own_leftovers(folder);
  HANDLE h = INVALID_HANDLE_VALUE;
  // A name that is taken (a leftover that could not go) is passed for the next one.
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    std::wstring fresh = folder + L"~qano" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(++serial) + L".tmp";
    h = calls().CreateFileW(fresh.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
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

// --- Jet engine ----------------------------------------------------------------------------

namespace win32 {
std::optional<std::string> file_identity(const std::string& file) {
  HANDLE h = calls().CreateFileW(to_wide(file).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  bool known = calls().GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!known) return std::nullopt;
  auto both = [](DWORD high, DWORD low) {
    return std::to_string((static_cast<std::uint64_t>(high) << 32) | low);
  };
  return both(info.nFileSizeHigh, info.nFileSizeLow) + " " +
         both(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime) + " " +
         both(info.nFileIndexHigh, info.nFileIndexLow) + " " +
         std::to_string(info.dwVolumeSerialNumber);
}
}  // namespace win32

JetEngine& Win32Platform::jet_engine() {
  if (!engine_) throw jet_contract::no_engine();
  return *engine_;
}

JetResult Win32Platform::query(const std::string& database, const std::string& sql) {
  if (!engine_) throw jet_contract::no_engine();
  return jet_contract::run_query(*engine_, database, sql);
}

}  // namespace qano
