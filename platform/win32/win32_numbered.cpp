// The Windows platform's numbered text files: the log appended to, the script made afresh, each
// line handed to the system at once through WriteFile.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "platform/support/files/numbered_files.h"
#include "platform/system/win32_calls.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_internal.h"

namespace qano {

// The platform's own helpers (win32_internal.h) and conversions (wide.h).
using namespace win32;

namespace {

int write_failure_number(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
             ? failure::kDiskFull
             : failure::kPathFileAccessError;
}

}  // namespace

std::wstring Win32Platform::numbered_target(int number, const std::string& path) {
  open_files_.check_free(number);
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
    open_files_.add(number, replace_with_fresh_file(native, path));
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
  HANDLE h =
      calls().CreateFileW(native.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
  if (GetFileType(h) != FILE_TYPE_DISK || !calls().GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(h);
    fail(failure::kPathFileAccessError, "Path/File access error: a link stands at " + quoted(path));
  }
  open_files_.add(number, h);
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
  HANDLE handle = open_files_.at(number);
  // WriteFile keeps nothing back in the program: the line is the system's at once, and on disk
  // whatever becomes of the program.
  std::string bytes = numbered_line_bytes(line);
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!calls().WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                           &written, nullptr)) {
      fail(write_failure_number(GetLastError()));
    }
    if (written == 0) fail(failure::kDiskFull);
    done += written;
  }
}

void Win32Platform::close_all() {
  open_files_.close_all();
}

}  // namespace qano
