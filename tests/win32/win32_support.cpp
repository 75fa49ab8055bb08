#include "tests/win32/win32_support.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace qano::testing {

fs::path u8path(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

TempFolder::TempFolder(const std::string& name) {
  static int count = 0;
  path_ = fs::temp_directory_path() / u8path(name + " " + std::to_string(GetCurrentProcessId()) +
                                             "-" + std::to_string(++count));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // Attributes that would stop the removal go first.
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::end(it); it.increment(ec)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path_, ec);
}

std::string TempFolder::dos(const std::string& name) const {
  fs::path p = name.empty() ? path_ : path_ / u8path(name);
  std::u8string s = p.make_preferred().u8string();
  return std::string(s.begin(), s.end());
}

fs::path TempFolder::write(const std::string& name, const std::string& bytes) const {
  fs::path p = path_ / u8path(name);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
  return p;
}

std::string read_file(const fs::path& path) {
  // Shared with a writer that still holds the file.
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(h);
  return bytes;
}

std::string build_file(const std::string& host_path) {
  std::string p = "Z:" + host_path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

Holder::Holder(const std::string& stub_program, const fs::path& file, unsigned long share) {
  static int count = 0;
  std::wstring event_name =
      L"qano-holder-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
  std::wstring program = u8path(stub_program).wstring();
  std::wstring command = L"\"" + program + L"\" hold \"" + file.wstring() + L"\" " +
                         std::to_wstring(share) + L" " + event_name;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (ready != nullptr && CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    HANDLE both[] = {ready, process.hProcess};
    // Ready once it holds the file; an early end means it could not open it.
    holding_ = WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
  }
  if (ready != nullptr) CloseHandle(ready);
}

Holder::~Holder() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 0);
  WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace qano::testing
