// Stand-in for the companion program C:\super\qanodivulgazioni.exe, as a Windows console program
// for tests and the demo under Wine. It records that it ran, and nothing else: one line appended
// to qanodivulgazioni.log beside the program, with the time, its working directory and the number
// of its arguments.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char**) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string log = module;
  std::size_t slash = log.find_last_of("\\/");
  log = (slash == std::string::npos ? std::string() : log.substr(0, slash + 1)) +
        "qanodivulgazioni.log";

  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  SYSTEMTIME t;
  GetLocalTime(&t);

  std::FILE* f = std::fopen(log.c_str(), "ab");
  if (f == nullptr) return 1;
  std::fprintf(f, "%04d-%02d-%02d %02d:%02d:%02d started in %s with %d argument(s)\r\n", t.wYear,
               t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, folder, argc - 1);
  return std::fclose(f) == 0 ? 0 : 1;
}
