// Every call that the Windows platform's file and process code makes to the system, through one
// table of replaceable entries: production code calls calls().CreateFileW(...), and a test
// replaces one entry for a scope (win32_calls_for_testing.h) to make the real platform meet a
// sharing violation, a refused access or a full disk on real files. A replacement sets the last
// error as the system would; the platform reads it with GetLastError() as it always does.
#pragma once

#include <windows.h>

namespace qano::win32 {

struct Calls {
  HANDLE(WINAPI* CreateFileW)
  (LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
   DWORD flags, HANDLE template_file);
  BOOL(WINAPI* WriteFile)
  (HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
  BOOL(WINAPI* SetFileInformationByHandle)
  (HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size);
  BOOL(WINAPI* GetFileInformationByHandle)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
  HANDLE(WINAPI* FindFirstFileExW)
  (LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search, LPVOID filter,
   DWORD flags);
  BOOL(WINAPI* FindNextFileW)(HANDLE find, LPWIN32_FIND_DATAW data);
  BOOL(WINAPI* CreateProcessW)
  (LPCWSTR application, LPWSTR command_line, LPSECURITY_ATTRIBUTES process_security,
   LPSECURITY_ATTRIBUTES thread_security, BOOL inherit_handles, DWORD flags, LPVOID environment,
   LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION information);
  BOOL(WINAPI* CreateDirectoryW)(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
  BOOL(WINAPI* RemoveDirectoryW)(LPCWSTR path);
  BOOL(WINAPI* DeleteFileW)(LPCWSTR path);
  DWORD(WINAPI* GetFileAttributesW)(LPCWSTR path);
  BOOL(WINAPI* GetFileAttributesExW)(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data);
  BOOL(WINAPI* SetFileAttributesW)(LPCWSTR path, DWORD attributes);
};

// The table in use: the system's own calls unless a test has replaced one.
const Calls& calls();

}  // namespace qano::win32
