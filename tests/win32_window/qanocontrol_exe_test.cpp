// qanocontrol.exe as a shop runs it, under Wine on a virtual display: this test is a Windows
// program in the same Wine prefix, so it looks at the program's windows as any other Windows
// program would (EnumWindows, WM_GETTEXT, GetGUIThreadInfo) and works them with messages and
// synthesized input. Mostly C: has no master database: start-up shows its message box, and the
// intake runs all the same while the box waits. The runs with the shop's databases reach them
// through the Access driver that tests/win32/access-shop.sh stands up for Wine's ODBC, started in
// C:\road as that script describes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/layout.h"
#include "platform/win32/win32_host.h"
#include "tests/win32/win32_support.h"
#include "tools/dev/kit/zip_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::zip_archive;

// A Linux path of the build as Wine's drive Z: shows it.
fs::path from_build(const char* unix_path) {
  std::string p = std::string("Z:") + unix_path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return fs::path(p);
}

const fs::path kProgram = from_build(QANOCONTROL_EXE);
const fs::path kC = "C:\\";
const fs::path kSuper = "C:\\super";
const fs::path kQano = "C:\\qano";
const fs::path kRoad = "C:\\road";

// Checks `condition` every 50 ms until it holds or `seconds` have passed; whether it held.
bool eventually(const std::function<bool()>& condition, double seconds) {
  auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    if (condition()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::wstring text_of(HWND w) {
  wchar_t buffer[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                      &ignored);
  return buffer;
}

std::wstring class_of(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

std::string narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK add_if_visible_of(HWND w, LPARAM data) {
  auto* s = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == s->pid && IsWindowVisible(w)) s->found.push_back(w);
  return TRUE;
}

// The visible top-level windows of a process.
std::vector<HWND> windows_of(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(&add_if_visible_of, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> children_of(HWND parent) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    found.push_back(c);
  }
  return found;
}

HWND focus_of(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// A control's rectangle in the client area of `window`.
RECT rect_in(HWND control, HWND window) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The program, started in `folder` with its standard error in a file; ended if it still runs
// when the test is over.
class Program {
 public:
  Program(const fs::path& stderr_file, const fs::path& folder) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    err_ = CreateFileW(stderr_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = err_;
    si.hStdError = err_;
    std::wstring command = L"\"" + kProgram.wstring() + L"\"";
    started_ = CreateProcessW(kProgram.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              folder.c_str(), &si, &pi_) != 0;
  }
  ~Program() {
    if (started_ && !wait_exit(0)) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    if (started_) {
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
    if (err_ != INVALID_HANDLE_VALUE) CloseHandle(err_);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return started_; }
  // Ends it at once, as the task manager does: no unload, nothing of its own is cleaned up.
  void terminate() {
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 10000);
  }
  DWORD pid() const { return pi_.dwProcessId; }
  std::optional<DWORD> wait_exit(double seconds) {
    if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(seconds * 1000)) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD status = 0;
    GetExitCodeProcess(pi_.hProcess, &status);
    return status;
  }

  // The visible top-level window with this title and (when given) class, once there.
  HWND wait_window(const std::wstring& title, const std::wstring& window_class = L"",
                   double seconds = 30) {
    HWND found = nullptr;
    eventually(
        [&] {
          for (HWND w : windows_of(pid())) {
            if (text_of(w) == title && (window_class.empty() || class_of(w) == window_class)) {
              found = w;
            }
          }
          return found != nullptr || wait_exit(0).has_value();
        },
        seconds);
    return found;
  }

 private:
  HANDLE err_ = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

const std::wstring kMissingMaster = L"ERRORE : FILE c:\\team\\super.mdb NON ESISTE ";

// The position in the layout of a control.
std::size_t position_of(const std::string& name, int index = 0) {
  const auto& cs = form1_layout().controls;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    if (cs[i].name == name && cs[i].index == index) return i;
  }
  return cs.size();
}

// The archives in claims of the program's own, and the kept (filed) archives: each name
// without its claim's id, with its bytes.
std::vector<std::string> claimed_archives() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& claim : fs::directory_iterator(kQano / "qanocontrol", error)) {
    if (claim.path().filename() == "archiviati") continue;
    for (const auto& file : fs::directory_iterator(claim.path(), error)) {
      if (file.path().extension() == ".zip") names.push_back(file.path().filename().string());
    }
  }
  return names;
}
std::vector<std::pair<std::string, std::string>> kept_archives() {
  std::vector<std::pair<std::string, std::string>> kept;
  std::error_code error;
  for (const auto& file : fs::directory_iterator(kQano / "qanocontrol" / "archiviati", error)) {
    std::string name = file.path().filename().string();
    kept.emplace_back(name.substr(name.find('_') + 1), read_file(file.path()));
  }
  std::sort(kept.begin(), kept.end());
  return kept;
}
// The suite's part: it takes the invoices filed in C:\qano\fatture; empty when none are there.
std::string take_invoices() {
  fs::path invoices = kQano / "fatture" / "acq_var.txt";
  std::string taken = read_file(invoices);
  std::error_code error;
  if (!taken.empty()) fs::remove(invoices, error);
  return taken;
}

// Sets an environment variable for the programs a test starts, until the object goes.
class TestSetting {
 public:
  TestSetting(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~TestSetting() { SetEnvironmentVariableW(name_, nullptr); }
  TestSetting(const TestSetting&) = delete;
  TestSetting& operator=(const TestSetting&) = delete;

 private:
  const wchar_t* name_;
};

class ProgramExe : public ::testing::Test {
 protected:
  void SetUp() override {
    // C: as a shop's workstation has it, without the master database.
    ASSERT_TRUE(remove_shop());
    fs::create_directories(kSuper / "bkp");
    fs::create_directories(kQano / "fatture");
    fs::create_directories(kC / "programmi" / "winzip");
    fs::copy_file(from_build(WZUNZIP_EXE), kC / "programmi" / "winzip" / "wzunzip.exe");
    fs::copy_file(from_build(COMPANION_EXE), kSuper / "qanodivulgazioni.exe");
    stderr_file_ = fs::temp_directory_path() / "qanocontrol-stderr.txt";
  }

  // The prefix's C: is left as fresh as it came, for the other tests that share it. A script
  // that the intake started may still hold a file for a moment.
  void TearDown() override {
    program_.reset();
    EXPECT_TRUE(eventually(remove_shop, 10));
    std::error_code ignored;
    fs::remove(stderr_file_, ignored);
  }

  // The shop's master and data databases in C:, as start-up looks for them.
  static void copy_shop_databases() {
    fs::create_directories(kC / "team");
    fs::copy_file(kRoad / "db" / "super.mdb", kC / "team" / "super.mdb");
    fs::copy_file(kRoad / "db" / "dati.mdb", kSuper / "dati.mdb");
  }

  static bool remove_shop() {
    bool removed = true;
    for (const fs::path& folder : {kC / "team", kSuper, kQano, kC / "programmi"}) {
      std::error_code error;
      // A kept archive may be read-only, as it came.
      for (const auto& e : fs::recursive_directory_iterator(folder, error)) {
        SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
      }
      fs::remove_all(folder, error);
      removed = removed && !fs::exists(folder);
    }
    return removed;
  }

  void start(const fs::path& folder = kSuper) {
    program_ = std::make_unique<Program>(stderr_file_, folder);
    ASSERT_TRUE(program_->started()) << GetLastError();
    started_ = Clock::now();
  }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }
  void held_files_road(unsigned long share);

  // The message box, its text and its buttons' captions.
  struct Box {
    HWND window = nullptr;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool has_icon = false;
    HWND ok = nullptr;
  };
  Box wait_box() {
    Box box;
    box.window = program_->wait_window(L"qanocontrol", L"#32770");
    if (box.window == nullptr) return box;
    for (HWND c : children_of(box.window)) {
      std::wstring kind = class_of(c);
      LONG style = GetWindowLongW(c, GWL_STYLE);
      if (_wcsicmp(kind.c_str(), L"Button") == 0 && (style & WS_VISIBLE)) {
        box.buttons.push_back(text_of(c));
        box.ok = c;
      }
      if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & WS_VISIBLE)) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
          box.has_icon = box.has_icon || SendMessageW(c, STM_GETICON, 0, 0) != 0;
        } else if (!text_of(c).empty()) {
          box.text = text_of(c);
        }
      }
    }
    return box;
  }
  // Presses OK on the box and waits for the main window.
  HWND dismiss_and_wait_window(const Box& box) {
    SendMessageTimeoutW(box.ok, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
    return program_->wait_window(L"B");
  }
  // Starts the program and dismisses its start-up box; its window, or null.
  HWND start_and_open_window() {
    start();
    Box box = wait_box();
    EXPECT_NE(box.window, nullptr) << "no start-up box: " << stderr_text();
    return box.window == nullptr ? nullptr : dismiss_and_wait_window(box);
  }
  HWND control(HWND window, const std::string& name, int index = 0) {
    return GetDlgItem(window, win32_control_id(position_of(name, index)));
  }

  std::string stderr_text() const { return read_file(stderr_file_); }
  fs::path log_path() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char name[64];
    std::snprintf(name, sizeof name, "logqanocontrol_%02d%02d%04d.txt", t.wDay, t.wMonth, t.wYear);
    return kSuper / "bkp" / name;
  }
  static std::string today() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", t.wDay, t.wMonth, t.wYear);
    return date;
  }

  // Posts a key press (down and up) to a control, as the keyboard would send it to the focus.
  static void key(HWND target, WPARAM vk) {
    UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    if (vk == VK_SPACE) PostMessageW(target, WM_CHAR, L' ', 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
  }

  fs::path stderr_file_;
  std::unique_ptr<Program> program_;
  Clock::time_point started_;
};

TEST_F(ProgramExe, MissingMasterBoxLogAndTheWindowWithTheFocusOnUscitaThatEnterPresses) {
  start();
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();
  EXPECT_EQ(narrow(box.text), narrow(kMissingMaster));
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(stderr_text(), "qanocontrol: " + narrow(kMissingMaster) + "\r\n");
  EXPECT_EQ(program_->wait_window(L"B", L"", 0), nullptr) << "the window waits for start-up";

  // The day's log, in the ANSI code page with CR LF: the stamped start line and nothing else.
  std::string log = read_file(log_path());
  EXPECT_TRUE(
      std::regex_match(log, std::regex(today() + "-\\d\\d:\\d\\d:\\d\\d- Avvio programma\r\n")))
      << log;

  HWND window = dismiss_and_wait_window(box);
  ASSERT_NE(window, nullptr) << stderr_text();
  HWND uscita = control(window, "Command1");
  ASSERT_NE(uscita, nullptr);
  EXPECT_TRUE(eventually([&] { return focus_of(window) == uscita; }, 10));
  EXPECT_EQ(text_of(uscita), L"Uscita");

  key(uscita, VK_RETURN);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
  EXPECT_EQ(read_file(log_path()), log) << "nothing more is logged";
}

TEST_F(ProgramExe, TheWindowShowsTheLayoutAtFifteenTwipsPerPixel) {
  HWND window = start_and_open_window();
  ASSERT_NE(window, nullptr) << stderr_text();

  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 592);
  EXPECT_EQ(client.bottom, 531);
  EXPECT_EQ(GetMenu(window), nullptr) << "no menu bar";

  const WindowLayout& layout = form1_layout();
  int shown = 0;
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlLayout& c = layout.controls[i];
    SCOPED_TRACE(c.name + "(" + std::to_string(c.index) + ")");
    HWND w = GetDlgItem(window, win32_control_id(i));
    bool drawn = c.rect && c.kind != ControlKind::data && c.kind != ControlKind::ftp_client &&
                 c.kind != ControlKind::menu && c.kind != ControlKind::timer;
    ASSERT_EQ(w != nullptr, drawn);
    if (!drawn) continue;
    ++shown;
    int ox = 0, oy = 0;
    if (c.container == "Frame1") {
      const ControlLayout& frame = layout.controls[position_of("Frame1")];
      ox = pixels(frame.rect->left);
      oy = pixels(frame.rect->top);
    }
    RECT r = rect_in(w, window);
    EXPECT_EQ(r.top, oy + pixels(c.rect->top));
    if (c.kind == ControlKind::label) {
      // A label is never narrower or lower than its caption in the font really chosen: as the
      // layout has it or larger, and still where it begins (or centred where it was).
      EXPECT_GE(r.right - r.left, pixels(c.rect->width));
      EXPECT_GE(r.bottom - r.top, pixels(c.rect->height));
      int middle = ox + pixels(c.rect->left) + pixels(c.rect->width) / 2;
      EXPECT_TRUE(r.left == ox + pixels(c.rect->left) ||
                  std::abs((r.left + r.right) / 2 - middle) <= 1)
          << r.left;
    } else {
      EXPECT_EQ(r.left, ox + pixels(c.rect->left));
      EXPECT_EQ(r.right - r.left, pixels(c.rect->width));
      if (c.kind != ControlKind::drive_list) {  // a drop-down list is as high as its font
        EXPECT_EQ(r.bottom - r.top, pixels(c.rect->height));
      }
    }
    EXPECT_TRUE(IsWindowVisible(w));
    switch (c.kind) {
      case ControlKind::command_button:
      case ControlKind::frame:
      case ControlKind::label:
        EXPECT_EQ(narrow(text_of(w)), c.caption);
        break;
      case ControlKind::text_box:
        EXPECT_EQ(text_of(w), L"");
        EXPECT_EQ(_wcsicmp(class_of(w).c_str(), L"Edit"), 0);
        break;
      case ControlKind::drive_list:
        EXPECT_EQ(text_of(w), L"c:") << "the current drive";
        EXPECT_GE(SendMessageW(w, CB_GETCOUNT, 0, 0), 1);
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(shown, 1 + 1 + 1 + 1 + 10 * 4) << "button, frame, text box, drive list, the board";

  // A lamp is light grey where its number does not cover it.
  HWND lamp = control(window, "c1", 1);
  RECT r{};
  GetWindowRect(lamp, &r);
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, (r.left + r.right) / 2, r.top + 3);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(colour, RGB(224, 224, 224));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
}

TEST_F(ProgramExe, TabCyclesTheFocusEscAndEnterInTheTextBoxDoNothing) {
  HWND window = start_and_open_window();
  ASSERT_NE(window, nullptr) << stderr_text();
  HWND uscita = control(window, "Command1");
  HWND text_box = control(window, "nrposw");
  HWND drives = control(window, "Drive1");
  ASSERT_TRUE(eventually([&] { return focus_of(window) == uscita; }, 10));
  key(uscita, VK_ESCAPE);

  // Keys go, in order, to the control that has the focus; each Tab is seen to have moved it
  // before the next key goes.
  auto tab_to = [&](HWND from, HWND expected) {
    key(from, VK_TAB);
    return eventually([&] { return focus_of(window) == expected; }, 10);
  };
  ASSERT_TRUE(tab_to(uscita, text_box));
  key(text_box, VK_RETURN);
  key(text_box, VK_ESCAPE);
  ASSERT_TRUE(tab_to(text_box, drives)) << "the focus may also rest on the drive list";
  HWND drives_focus = focus_of(window);
  key(drives_focus, VK_ESCAPE);
  ASSERT_TRUE(tab_to(drives_focus, uscita)) << "and back to Uscita";
  EXPECT_FALSE(program_->wait_exit(0).has_value()) << "Enter and Esc elsewhere did nothing";

  key(uscita, VK_SPACE);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
}

// Every way of closing the window ends the program with status 0.
TEST_F(ProgramExe, AClickACloseAndTheEndOfTheSessionEachEndTheProgram) {
  enum class Way { click, close, end_session };
  for (Way way : {Way::click, Way::close, Way::end_session}) {
    SCOPED_TRACE(static_cast<int>(way));
    HWND window = start_and_open_window();
    ASSERT_NE(window, nullptr) << stderr_text();
    HWND uscita = control(window, "Command1");
    switch (way) {
      case Way::click: {
        // The mouse, as the user works it: to the middle of "Uscita", press, release. Each step
        // waits for what it needs: the window in front with "Uscita" under the point, the
        // pointer there, the button pressed. Every event carries the point itself, so that a
        // pointer motion that Wine's display reports late (the first input after the display
        // starts) cannot move the press or the release elsewhere.
        RECT r{};
        GetWindowRect(uscita, &r);
        POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ASSERT_TRUE(eventually(
            [&] { return GetForegroundWindow() == window && WindowFromPoint(middle) == uscita; },
            10))
            << "the window is not in front";
        auto mouse = [&](DWORD what) {
          int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
          INPUT in{};
          in.type = INPUT_MOUSE;
          in.mi.dx = (middle.x * 65536 + width / 2) / width;
          in.mi.dy = (middle.y * 65536 + height / 2) / height;
          in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | what;
          return SendInput(1, &in, sizeof in) == 1;
        };
        auto pointer_there = [&] {
          POINT at{};
          return GetCursorPos(&at) && at.x == middle.x && at.y == middle.y;
        };
        ASSERT_TRUE(mouse(0));
        ASSERT_TRUE(eventually(pointer_there, 10)) << "the pointer did not reach Uscita";
        ASSERT_TRUE(mouse(MOUSEEVENTF_LEFTDOWN));
        ASSERT_TRUE(eventually(
            [&] { return (SendMessageW(uscita, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 10))
            << "the press did not reach Uscita";
        ASSERT_TRUE(mouse(MOUSEEVENTF_LEFTUP));
        break;
      }
      case Way::close:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
      case Way::end_session:
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, nullptr);
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, nullptr);
        break;
    }
    EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
    program_.reset();
  }
}

TEST_F(ProgramExe, AFailureAtStartUpIsReportedWithItsNumberAndStatusOne) {
  // The log's folder is missing: the log cannot be opened.
  fs::remove_all(kSuper / "bkp");
  start();
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();
  EXPECT_EQ(narrow(box.text), "Run-time error '76':\n\nPath not found");
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(stderr_text(), "qanocontrol: run-time error 76: Path not found\r\n");
  EXPECT_EQ(program_->wait_window(L"B", L"", 0), nullptr) << "the window never shows";
  SendMessageTimeoutW(box.ok, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 1u);
}

TEST_F(ProgramExe, AFailureInATickClosesTheWaitingBoxAndIsReported) {
  // The script cannot be written: a folder holds its name.
  fs::create_directories(kQano / "agglis.bat");
  write_file(kQano / "acq_0001.zip", zip_archive("acq_var.txt", "ART;x;1;1,00\r\n"));
  start();
  Box first = wait_box();
  ASSERT_NE(first.window, nullptr) << stderr_text();
  ASSERT_EQ(first.text, kMissingMaster);
  // The first intake, about 15 s after start, fails while the box waits: the box goes and the
  // failure's box comes.
  Box report;
  ASSERT_TRUE(eventually(
      [&] {
        report = wait_box();
        return report.text.find(L"Run-time error") == 0 || program_->wait_exit(0).has_value();
      },
      40))
      << stderr_text();
  EXPECT_GE(seconds(), 14.0);
  EXPECT_EQ(narrow(report.text),
            "Run-time error '75':\n\nPath/File access error: a folder stands at "
            "'C:\\qano\\agglis.bat'");
  EXPECT_FALSE(IsWindow(first.window)) << "the start-up box was closed";
  EXPECT_TRUE(std::regex_match(read_file(log_path()),
                               std::regex(today() + "-\\d\\d:\\d\\d:\\d\\d- Avvio programma\r\n")))
      << "every line logged is on disk while the report waits";
  EXPECT_EQ(program_->wait_window(L"B", L"", 0), nullptr) << "the window never shows";
  SendMessageTimeoutW(report.ok, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 1u);
  EXPECT_EQ(stderr_text(), "qanocontrol: " + narrow(kMissingMaster) +
                               "\r\nqanocontrol: run-time error 75: Path/File access error: a "
                               "folder stands at 'C:\\qano\\agglis.bat'\r\n");
  EXPECT_EQ(claimed_archives(), std::vector<std::string>{"acq_0001.zip"})
      << "the archive waits in its claim for a sound intake";
}

// With the shop's databases, through the Access driver: a complete start-up, then the road of an
// archive, in one run.
TEST_F(ProgramExe, ThroughTheAccessDriverACompleteStartUpThenTheRoadOfAnArchive) {
  copy_shop_databases();
  std::string content = "ART100;Penne rigate 500 g;12;0,89\r\n";
  write_file(kQano / "acq_0001.zip", zip_archive("acq_var.txt", content));
  start(kRoad);
  HWND window = program_->wait_window(L"B");
  ASSERT_NE(window, nullptr) << stderr_text();
  EXPECT_EQ(stderr_text(), "") << "no box, no failure";

  // The day's log with its seven lines, the last one the databases' check.
  const std::string stamp = today() + "-\\d\\d:\\d\\d:\\d\\d- ";
  std::string log = read_file(log_path());
  EXPECT_TRUE(
      std::regex_match(log, std::regex(stamp + "Avvio programma\r\n" +                        //
                                       stamp + "Apro DB  C:\\\\super\\\\dati\\.mdb\r\n" +     //
                                       stamp + "Apro DB  C:\\\\super\\\\vendite\\.mdb\r\n" +  //
                                       stamp + "Apro DB  c:\\\\team\\\\super\\.mdb\r\n" +     //
                                       "DB OK  \r\n"                                          //
                                       "CONTROLLO DB SUPER OK\r\n" +                          //
                                       stamp +
                                       "Controllo  DB  OK\r\n")))
      << log;

  ASSERT_TRUE(eventually(
      [&] {
        return read_file(kQano / "fatture" / "acq_var.txt") == content &&
               kept_archives().size() == 1 && fs::exists(kSuper / "qanodivulgazioni.log");
      },
      40))
      << stderr_text();
  EXPECT_GE(seconds(), 14.0) << "the first intake comes on the third tick";
  EXPECT_FALSE(fs::exists(kQano / "acq_0001.zip"));
  EXPECT_EQ(read_file(log_path()), log) << "the intake logs nothing";

  SendMessageTimeoutW(control(window, "Command1"), BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
}

TEST_F(ProgramExe, ADamagedDataDatabaseIsFailure3343InTheBoxAndStatusOne) {
  copy_shop_databases();
  write_file(kSuper / "dati.mdb", std::string(4096, 'x'));
  start(kRoad);
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();
  EXPECT_EQ(narrow(box.text).rfind("Run-time error '3343':\n\nUnrecognized database format", 0), 0u)
      << narrow(box.text);
  EXPECT_EQ(
      stderr_text().rfind("qanocontrol: run-time error 3343: Unrecognized database format", 0), 0u)
      << stderr_text();
  EXPECT_EQ(program_->wait_window(L"B", L"", 0), nullptr) << "the window never shows";
  SendMessageTimeoutW(box.ok, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 1u);
}

// How many times the stand-in companion has started.
int companion_runs() {
  std::string record = read_file(kSuper / "qanodivulgazioni.log");
  int runs = 0;
  for (auto at = record.find("started"); at != std::string::npos;
       at = record.find("started", at + 1)) {
    ++runs;
  }
  return runs;
}

// The road of two archives through Wine's command interpreter and the stand-in unzip tool, while
// the start-up box waits: the sound one, which holds a script of its own under the running
// script's name and a name that climbs out of its folder, is claimed, unpacked apart, filed and
// kept; the damaged one is given back; the companion starts after each.
TEST_F(ProgramExe, TheRoadOfArchivesThroughTheCommandInterpreter) {
  std::string content = "ART100;Penne rigate 500 g;12;0,89\r\nART101;Caff\xe8 250 g;6;2,49\r\n";
  std::string sound = zip_archive({{"agglis.bat", "echo hacked > c:\\qano\\hacked.txt\r\n"},
                                   {"..\\x.txt", "out of its folder"},
                                   {"acq_var.txt", content}});
  std::string damaged = sound.substr(0, sound.size() / 2);
  write_file(kQano / "acq_0001.zip", sound);
  write_file(kQano / "acq_0002.zip", damaged);
  start();
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();

  std::string filed;
  ASSERT_TRUE(eventually(
      [&] {
        if (filed.empty()) filed = take_invoices();
        return !filed.empty() && kept_archives().size() == 1 && companion_runs() == 1;
      },
      40))
      << stderr_text();
  EXPECT_GE(seconds(), 14.0) << "the first intake comes on the third tick";
  EXPECT_EQ(filed, content);
  EXPECT_EQ(kept_archives(),
            (std::vector<std::pair<std::string, std::string>>{{"acq_0001.zip", sound}}));
  std::string script = read_file(kQano / "agglis.bat");
  EXPECT_EQ(script.rfind("REM echo off\r\ncd c:\\qano\\qanocontrol\\", 0), 0u) << script;
  EXPECT_NE(script.find("\\acq_0001.zip acq_var.txt\r\n"), std::string::npos) << script;
  EXPECT_NE(read_file(kSuper / "qanodivulgazioni.log").find("started in C:\\super with 0"),
            std::string::npos);

  ASSERT_TRUE(eventually(
      [&] { return fs::exists(kQano / "errore_acq_0002.zip") && companion_runs() == 2; }, 40))
      << stderr_text();
  EXPECT_EQ(read_file(kQano / "errore_acq_0002.zip"), damaged) << "given back as it came";
  EXPECT_FALSE(fs::exists(kQano / "acq_0002.zip"));
  EXPECT_FALSE(fs::exists(kQano / "fatture" / "acq_var.txt")) << "nothing more was filed";
  for (const fs::path& nowhere : {kQano / "hacked.txt", kQano / "x.txt"}) {
    EXPECT_FALSE(fs::exists(nowhere)) << nowhere;
  }
  EXPECT_TRUE(IsWindow(box.window)) << "the start-up box still waits";

  HWND window = dismiss_and_wait_window(box);
  ASSERT_NE(window, nullptr) << stderr_text();
  SendMessageTimeoutW(control(window, "Command1"), BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
}

// A sender delivers again under the same name while the first archive is still being unpacked:
// the second delivery is an archive of its own, claimed by a later intake, never deleted unread.
TEST_F(ProgramExe, ANewDeliveryUnderTheSameNameDuringASlowUnpackIsTakenNext) {
  TestSetting slow(L"QANO_WZUNZIP_PAUSE_MS", L"5000");
  std::string first = zip_archive("acq_var.txt", "ART1;primo;1;1,00\r\n");
  std::string second = zip_archive("acq_var.txt", "ART2;secondo;2;2,00\r\n");
  write_file(kQano / "acq_0001.zip", first);
  start();
  ASSERT_TRUE(eventually([&] { return claimed_archives().size() == 1; }, 40)) << stderr_text();
  write_file(kQano / "acq_0001.zip", second);
  std::vector<std::string> filed;
  ASSERT_TRUE(eventually(
      [&] {
        if (std::string taken = take_invoices(); !taken.empty()) filed.push_back(taken);
        return filed.size() == 2 && claimed_archives().empty();
      },
      60))
      << stderr_text();
  EXPECT_EQ(filed, (std::vector<std::string>{"ART1;primo;1;1,00\r\n", "ART2;secondo;2;2,00\r\n"}));
  std::vector<std::pair<std::string, std::string>> both{{"acq_0001.zip", first},
                                                        {"acq_0001.zip", second}};
  std::sort(both.begin(), both.end());
  EXPECT_EQ(kept_archives(), both);
  EXPECT_FALSE(fs::exists(kQano / "acq_0001.zip"));
  EXPECT_TRUE(eventually([&] { return companion_runs() == 2; }, 10));
}

// Another program holds agglis.bat, the leftover acq_var.txt and the companion, with the sharing
// `share`, and lets go of each in turn: each step waits for a later look, the program runs on,
// and the archive and then its companion come through, once.
void ProgramExe::held_files_road(unsigned long share) {
  const std::string content = "ART;x;1;1,00\r\n";
  write_file(kQano / "acq_0001.zip", zip_archive("acq_var.txt", content));
  write_file(kQano / "acq_var.txt", "left over");
  write_file(kQano / "agglis.bat", "REM an earlier script\r\n");
  const std::string stub = testing::build_file(STUB_EXE);
  auto script = std::make_unique<testing::Holder>(stub, kQano / "agglis.bat", share);
  auto leftover = std::make_unique<testing::Holder>(stub, kQano / "acq_var.txt", share);
  auto companion = std::make_unique<testing::Holder>(stub, kSuper / "qanodivulgazioni.exe", share);
  ASSERT_TRUE(script->holding() && leftover->holding() && companion->holding());
  start();
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();
  auto taken = [] { return !claimed_archives().empty() || !kept_archives().empty(); };
  // The look at 15 s finds agglis.bat held, the one at 25 s the leftover: nothing is claimed.
  EXPECT_FALSE(eventually(taken, 17 - seconds())) << "agglis.bat is held";
  script.reset();
  EXPECT_FALSE(eventually(taken, 27 - seconds())) << "acq_var.txt is held";
  leftover.reset();
  // The look at 35 s takes the archive; the companion is held, so its start is owed.
  ASSERT_TRUE(eventually([] { return kept_archives().size() == 1; }, 45 - seconds()))
      << stderr_text();
  EXPECT_TRUE(
      eventually([&] { return read_file(kQano / "fatture" / "acq_var.txt") == content; }, 5));
  EXPECT_EQ(companion_runs(), 0);
  companion.reset();
  // A later look starts it, once.
  ASSERT_TRUE(eventually([] { return companion_runs() == 1; }, 50 - seconds())) << stderr_text();
  EXPECT_FALSE(program_->wait_exit(0).has_value()) << "the program runs on";
  EXPECT_EQ(stderr_text(), "qanocontrol: " + narrow(kMissingMaster) + "\r\n") << "no failure";
  HWND window = dismiss_and_wait_window(box);
  ASSERT_NE(window, nullptr) << stderr_text();
  SendMessageTimeoutW(control(window, "Command1"), BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_EQ(program_->wait_exit(20), 0u) << stderr_text();
  EXPECT_EQ(companion_runs(), 1);
}

TEST_F(ProgramExe, FilesHeldWithoutSharingMakeTheirStepsWait) {
  held_files_road(0);
}

TEST_F(ProgramExe, FilesHeldWithEverySharingMakeTheirStepsWait) {
  held_files_road(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

// A second start (the Startup folder and a double click) ends at once with status 0 and one line
// on standard error; the first one runs on.
TEST_F(ProgramExe, ASecondStartEndsAtOnceAndTheFirstRunsOn) {
  start();
  Box box = wait_box();
  ASSERT_NE(box.window, nullptr) << stderr_text();
  fs::path second_err = fs::temp_directory_path() / "qanocontrol-second-stderr.txt";
  {
    Program second(second_err, kSuper);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.wait_exit(20), 0u);
    EXPECT_TRUE(windows_of(second.pid()).empty());
  }
  EXPECT_EQ(read_file(second_err),
            "qanocontrol: another qanocontrol already runs on this workstation; this one ends "
            "without taking any archive\r\n");
  fs::remove(second_err);
  EXPECT_FALSE(program_->wait_exit(0).has_value()) << "the first one runs on";
  EXPECT_TRUE(IsWindow(box.window));
}

// A read-only archive is claimed, filed once and kept like any other.
TEST_F(ProgramExe, AReadOnlyArchiveIsFiledOnceAndKept) {
  std::string content = "ART100;Penne rigate 500 g;12;0,89\r\n";
  write_file(kQano / "acq_0001.zip", zip_archive("acq_var.txt", content));
  ASSERT_TRUE(SetFileAttributesW((kQano / "acq_0001.zip").c_str(), FILE_ATTRIBUTE_READONLY));
  start();
  ASSERT_TRUE(eventually([&] { return kept_archives().size() == 1; }, 40)) << stderr_text();
  EXPECT_TRUE(
      eventually([&] { return read_file(kQano / "fatture" / "acq_var.txt") == content; }, 10));
  EXPECT_TRUE(eventually([&] { return companion_runs() == 1; }, 10));
  EXPECT_FALSE(fs::exists(kQano / "acq_0001.zip"));
  EXPECT_FALSE(fs::exists(kQano / "errore_acq_0001.zip"));
}

// The program killed while its script runs, then started again: the new run leaves the running
// script alone (its file unchanged, no second start of the claim) until it has ended, and the
// claim is filed once.
TEST_F(ProgramExe, AKilledProgramsScriptRunsOnceAndTheNextRunWaitsForIt) {
  // The unzip takes long enough for the new run's first two intakes to find it running.
  TestSetting slow(L"QANO_WZUNZIP_PAUSE_MS", L"32000");
  std::string content = "ART;x;1;1,00\r\n";
  write_file(kQano / "acq_0001.zip", zip_archive("acq_var.txt", content));
  start();
  ASSERT_TRUE(
      eventually([&] { return claimed_archives().size() == 1 && companion_runs() == 1; }, 40))
      << stderr_text();
  std::string script = read_file(kQano / "agglis.bat");
  program_->terminate();

  start();
  // Two intakes of the new run (about 15 s and 25 s after its start) find the script running.
  EXPECT_FALSE(eventually(
      [&] { return read_file(kQano / "agglis.bat") != script || claimed_archives().empty(); }, 26));
  EXPECT_EQ(companion_runs(), 1);

  // The script ends having filed its claim, once.
  ASSERT_TRUE(eventually([&] { return kept_archives().size() == 1; }, 30)) << stderr_text();
  EXPECT_TRUE(eventually([&] { return take_invoices() == content; }, 10));
  EXPECT_EQ(read_file(kQano / "agglis.bat"), script);
  EXPECT_EQ(companion_runs(), 1);
}

}  // namespace
}  // namespace qano
