// The Windows platform's processes: a program in a window of the style asked for, a batch script
// in the command interpreter holding its file; and its one program per machine.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <vector>

#include "platform/system/win32_calls.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_internal.h"

namespace qano {

// The platform's own helpers (win32_internal.h) and conversions (wide.h).
using namespace win32;

namespace {

bool is_script(const std::string& dos_path) {
  std::string leaf = parse_dos_path(dos_path).leaf();
  return text::wildcard_match("*.bat", leaf) || text::wildcard_match("*.cmd", leaf);
}

std::wstring system_folder() {
  wchar_t buffer[MAX_PATH];
  UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring(L"C:\\Windows\\System32");
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
    held = calls().CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  BOOL created = calls().CreateProcessW(
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

}  // namespace qano
