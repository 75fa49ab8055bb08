// What the Windows platform's own files share (win32_platform.cpp, win32_numbered.cpp,
// win32_process.cpp, win32_regional.cpp): the Win32 form of a DOS path, attributes, and the
// failure numbers of system errors. Not for callers of the platform.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/support/files/dos_path.h"

namespace qano::win32 {

// The Win32 form of a parsed DOS path: what Windows itself would make of the text (blanks and
// dots at its end dropped, "/" read as "\").
std::wstring win_path(const DosPath& p);
std::optional<DWORD> attributes(const std::wstring& path);
bool is_folder(const std::wstring& path);
// The folder that holds the file `p` names, which must exist for the file to be reached.
bool folder_exists(const DosPath& p);
// The number of a failed open, delete or change of a file from its system error.
int open_failure_number(DWORD error);
std::string quoted(const std::string& path);
bool sharing_error(DWORD error);
// A FILETIME as one number of 100 ns ticks.
std::int64_t file_time_ticks(const FILETIME& t);
bool has_wildcard(const std::string& leaf);
// Whether another process has the file open at all, whatever sharing it allows: a scanner that
// shares everything stands in the way of replacing it as much as a writer does.
bool held_by_another(const std::wstring& native);
// Whether a link that points nowhere stands at `native`: the system then reports nothing there,
// yet no file can be created at the name. (Wine shows such a link neither in a folder's list nor
// in a name's attributes.) A file made to tell is gone again at once.
bool dangling_link_at(const std::wstring& native);
// Clears the read-only attribute of the entry at `native` (attributes `a`), keeping the others.
bool drop_read_only(const std::wstring& native, DWORD a);
// Renames the open file `h` (opened with DELETE access) to `target`; with `replace`, over
// whatever stands there (a link itself, never what it points to). False with GetLastError() set.
bool rename_open_file(HANDLE h, const std::wstring& target, bool replace);

}  // namespace qano::win32
