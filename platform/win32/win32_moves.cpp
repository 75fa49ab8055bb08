// The Windows platform's folders and moves: the intake's own folder beside others' files. A move
// opens the file itself (never what a link or other reparse point leads to), checks it, and
// renames that open file: whatever takes its name in between is not touched.
#include <windows.h>

#include "platform/system/win32_calls.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_platform.h"

namespace qano {

using namespace win32;

namespace {

using Outcome = Moved::Outcome;

Moved refused(const std::string& reason) {
  return {Outcome::refused, reason};
}

// The file at `native`, open to be read and moved while others may go on reading it, or why not.
struct Opened {
  HANDLE handle = INVALID_HANDLE_VALUE;
  Moved refusal;
};

Opened open_to_move(const std::wstring& native) {
  HANDLE h = calls().CreateFileW(native.c_str(), GENERIC_READ | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return {h, refused("it is not there")};
    }
    if (sharing_error(error)) return {h, {Outcome::held, "another program holds it"}};
    if (error == ERROR_ACCESS_DENIED) {
      return {h, refused("it cannot be read or moved: " + error_text(error))};
    }
    return {h, refused("it cannot be opened: " + error_text(error))};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!calls().GetFileInformationByHandle(h, &info)) {
    DWORD error = GetLastError();
    CloseHandle(h);
    return {INVALID_HANDLE_VALUE, refused("it cannot be looked at: " + error_text(error))};
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(h);
    return {INVALID_HANDLE_VALUE, refused("it is a link")};
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    return {INVALID_HANDLE_VALUE, refused("it is not a file")};
  }
  return {h, {}};
}

}  // namespace

bool Win32Platform::make_folder(const std::string& path) {
  std::wstring native = win_path(parse_dos_path(path));
  if (calls().CreateDirectoryW(native.c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
  const int number = open_failure_number(error);
  fail(number, std::string(standard_text(number)) + ": cannot make the folder " + quoted(path) +
                   ": " + error_text(error));
}

void Win32Platform::remove_folder(const std::string& path) {
  std::wstring native = win_path(parse_dos_path(path));
  std::optional<DWORD> a = attributes(native);
  if (!a || (*a & FILE_ATTRIBUTE_DIRECTORY) == 0 || (*a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return;
  }
  // Refused when anything is in it: it stays, and nothing else happens.
  calls().RemoveDirectoryW(native.c_str());
}

std::string Win32Platform::move_refusal(const std::string& path) {
  Opened opened = open_to_move(win_path(parse_dos_path(path)));
  if (opened.handle == INVALID_HANDLE_VALUE) {
    // A holder is a reason to wait, not to leave it.
    return opened.refusal.outcome == Outcome::held ? std::string() : opened.refusal.reason;
  }
  CloseHandle(opened.handle);
  return "";
}

Moved Win32Platform::move_file(const std::string& from, const std::string& to, bool replace) {
  DosPath target_path = parse_dos_path(to);
  if (target_path.components.empty() || !folder_exists(target_path)) {
    return refused("the folder of " + quoted(to) + " is missing");
  }
  std::wstring target = win_path(target_path);
  std::optional<DWORD> there = attributes(target);
  if (there || dangling_link_at(target)) {
    if (!replace) return refused("something stands at " + quoted(to));
    if (!there || (*there & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      return refused("something other than a file stands at " + quoted(to));
    }
  }
  Opened opened = open_to_move(win_path(parse_dos_path(from)));
  if (opened.handle == INVALID_HANDLE_VALUE) return opened.refusal;
  bool renamed = rename_open_file(opened.handle, target, replace);
  DWORD error = renamed ? 0 : GetLastError();
  if (!renamed && error == ERROR_ACCESS_DENIED && replace && there &&
      (*there & FILE_ATTRIBUTE_READONLY) != 0 && drop_read_only(target, *there)) {
    // A read-only file in the way is replaced all the same, as the script's move replaces it.
    renamed = rename_open_file(opened.handle, target, replace);
    error = renamed ? 0 : GetLastError();
  }
  CloseHandle(opened.handle);
  if (renamed) return {};
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return refused("something stands at " + quoted(to));
  }
  if (sharing_error(error) || (error == ERROR_ACCESS_DENIED && held_by_another(target))) {
    return {Outcome::held, "another program holds it or " + quoted(to)};
  }
  if (error == ERROR_NOT_SAME_DEVICE) return refused("it cannot be moved to another disk");
  return refused("it cannot be moved: " + error_text(error));
}

}  // namespace qano
