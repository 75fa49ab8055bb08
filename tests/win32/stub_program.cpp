// A stand-in program for the process tests.
//
// Without arguments: in its working folder it appends "started" to stub_starts.txt and writes
// stub_ran.txt: the folder, then the window style it was asked for ("-" when none), one per line;
// it then runs for as long as stub_hold.txt is there (at most two minutes), and ends.
//
// "hold PATH SHARE EVENT": opens PATH for reading with the share mode SHARE (the FILE_SHARE_*
// bits, in decimal), signals the named event EVENT once it holds the file and holds it until it
// is ended, at most two minutes; ends at once with status 2 when it cannot open it.
#include <windows.h>

#include <string>

namespace {

int hold(const wchar_t* path, const wchar_t* share, const wchar_t* event_name) {
  HANDLE file = CreateFileW(path, GENERIC_READ, static_cast<DWORD>(_wtoi(share)), nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, event_name);
  if (event != nullptr) SetEvent(event);
  Sleep(120000);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wstring(argv[1]) == L"hold") return hold(argv[2], argv[3], argv[4]);
  HANDLE starts = CreateFileW(L"stub_starts.txt", FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (starts != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(starts, "started\r\n", 9, &written, nullptr);
    CloseHandle(starts);
  }
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
  for (int i = 0; i < 6000 && GetFileAttributesW(L"stub_hold.txt") != INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(20);
  }
  return 0;
}
