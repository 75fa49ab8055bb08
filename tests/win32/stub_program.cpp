// A stand-in program for the process tests. In its working folder it writes stub_ran.txt: the
// folder, then the window style it was asked for ("-" when none), one per line; it then runs for
// as long as stub_hold.txt is there (at most a minute), and ends.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t folder[MAX_PATH];
  DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  std::wstring report =
      std::wstring(folder, n) + L"\r\n" +
      ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? std::to_wstring(startup.wShowWindow)
                                                     : std::wstring(L"-")) +
      L"\r\n";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, report.data(), static_cast<int>(report.size()),
                                  nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, report.data(), static_cast<int>(report.size()), utf8.data(),
                      bytes, nullptr, nullptr);
  // Written under another name and renamed, so that a reader never sees half of it.
  HANDLE h = CreateFileW(L"stub_ran.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(h);
  if (!MoveFileExW(L"stub_ran.tmp", L"stub_ran.txt", MOVEFILE_REPLACE_EXISTING)) return 1;
  for (int i = 0; i < 3000 && GetFileAttributesW(L"stub_hold.txt") != INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(20);
  }
  return 0;
}
