// The Win32 window host in this process, under Wine on a virtual display: the window it builds
// from the layout (fonts, icon, drive list), its timers, its message box, and failures raised by
// the window's handlers at every point of the loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/layout.h"
#include "platform/failure.h"
#include "platform/win32/win32_host.h"

namespace qano {
namespace {

// The window's events as a test sees them; a click unloads the window as the program's does.
struct Recorder : WindowEvents {
  WindowHost* host = nullptr;
  std::vector<std::string> events;
  std::function<void()> on_tick;
  bool fail_on_unload = false;

  void load() override { events.push_back("load"); }
  void unload(bool&) override {
    events.push_back("unload");
    if (fail_on_unload) fail(failure::kPathFileAccessError);
  }
  void click(const std::string& control) override {
    events.push_back("click " + control);
    host->unload();
  }
  void tick(const std::string& timer) override {
    events.push_back("tick " + timer);
    if (on_tick) on_tick();
  }
  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
};

BOOL CALLBACK add_if_box(HWND w, LPARAM data) {
  wchar_t name[16] = {};
  GetClassNameW(w, name, 16);
  if (std::wstring(name) == L"#32770" && IsWindowVisible(w)) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
  }
  return TRUE;
}

// The message boxes of this thread that are open.
std::vector<HWND> open_boxes() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), &add_if_box, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring text_of(HWND w) {
  wchar_t buffer[512] = {};
  GetWindowTextW(w, buffer, 512);
  return buffer;
}

LOGFONTW font_of(HWND w) {
  LOGFONTW f{};
  auto font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
  GetObjectW(font, sizeof f, &f);
  return f;
}

class Win32HostTest : public ::testing::Test {
 protected:
  void open(const WindowLayout& layout = form1_layout()) {
    host = std::make_unique<Win32Host>(layout);
    recorder.host = host.get();
    host->create(recorder, DriveListContents{{"c:", "d:", "z:"}, "d:"});
  }
  static WindowLayout fast_timer_layout() {
    WindowLayout layout = form1_layout();
    for (ControlLayout& c : layout.controls) {
      if (c.name == "Timer2") c.interval_ms = 50;
      if (c.name == "Timer1") c.interval_ms = 20;  // never run: nothing handles its tick
    }
    return layout;
  }

  Recorder recorder;
  std::unique_ptr<Win32Host> host;
};

TEST_F(Win32HostTest, FontsIconAndDriveListFollowTheLayout) {
  open();
  host->show();
  struct Case {
    std::string name;
    int index;
    LONG height;  // pixels: points * 20 / 15
    bool bold;
  };
  for (const Case& c : std::vector<Case>{{"Command1", 0, 11, false},
                                         {"Frame1", 0, 13, true},
                                         {"nrposw", 0, 16, false},
                                         {"Label7", 0, 11, true},
                                         {"num", 3, 11, false},
                                         {"pun", 10, 11, false}}) {
    SCOPED_TRACE(c.name);
    HWND w = host->control(c.name, c.index);
    ASSERT_NE(w, nullptr);
    LOGFONTW f = font_of(w);
    EXPECT_EQ(f.lfHeight, -c.height);
    EXPECT_EQ(f.lfWeight >= FW_BOLD, c.bold);
    EXPECT_EQ(std::wstring(f.lfFaceName), L"MS Sans Serif");
  }

  auto icon = reinterpret_cast<HICON>(SendMessageW(host->window(), WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  HWND drives = host->control("Drive1");
  EXPECT_EQ(SendMessageW(drives, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(text_of(drives), L"d:");
  EXPECT_EQ(host->control("var"), nullptr) << "data controls are not shown";
  EXPECT_EQ(host->control("Timer2"), nullptr);
}

TEST_F(Win32HostTest, OnlyTimer2TicksAndTicksStopAtUnload) {
  open(fast_timer_layout());
  host->show();
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 3) host->unload();
  };
  host->run();
  EXPECT_TRUE(host->unloaded());
  EXPECT_EQ(recorder.count("tick Timer2"), 3);
  EXPECT_EQ(recorder.count("tick Timer1"), 0);
  EXPECT_EQ(recorder.events.back(), "unload");
  EXPECT_FALSE(IsWindowVisible(host->window()));
}

TEST_F(Win32HostTest, ACloseRequestAndTheEndOfTheSessionUnload) {
  for (UINT message : {WM_CLOSE, WM_ENDSESSION}) {
    SCOPED_TRACE(message);
    recorder.events.clear();
    open();
    host->show();
    PostMessageW(host->window(), message, TRUE, 0);
    host->run();
    EXPECT_EQ(recorder.events, std::vector<std::string>{"unload"});
    host.reset();
  }
}

TEST_F(Win32HostTest, EnterAndSpaceOnTheFocusedButtonClickIt) {
  for (WPARAM key : {VK_RETURN, VK_SPACE}) {
    SCOPED_TRACE(key);
    recorder.events.clear();
    open();
    host->show();
    HWND uscita = host->control("Command1");
    ASSERT_EQ(GetFocus(), uscita);
    PostMessageW(uscita, WM_KEYDOWN, key, 1);
    PostMessageW(uscita, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    host->run();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"click Command1", "unload"}));
    host.reset();
  }
}

TEST_F(Win32HostTest, AFailureInATickEndsTheLoopAndStopsTheTimers) {
  open(fast_timer_layout());
  host->show();
  recorder.on_tick = [] { fail(failure::kFileNotFound); };
  try {
    host->run();
    FAIL() << "the failure did not come through";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 53);
    EXPECT_EQ(f.text(), "File not found");
  }
  EXPECT_EQ(recorder.count("tick Timer2"), 1);
  EXPECT_FALSE(IsWindowVisible(host->window()));
  // No further tick comes, whatever waits in the queue.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(recorder.count("tick Timer2"), 1);
}

TEST_F(Win32HostTest, AFailureInTheUnloadComesThrough) {
  open();
  host->show();
  recorder.fail_on_unload = true;
  PostMessageW(host->window(), WM_CLOSE, 0, 0);
  EXPECT_THROW(host->run(), Failure);
}

TEST_F(Win32HostTest, TicksGoOnWhileTheMessageBoxWaits) {
  open(fast_timer_layout());
  std::wstring title, text;
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 3) {
      std::vector<HWND> boxes = open_boxes();
      ASSERT_EQ(boxes.size(), 1u) << "the box is still waiting";
      title = text_of(boxes[0]);
      PostMessageW(boxes[0], WM_COMMAND, IDOK, 0);
    }
  };
  host->message_box("ERRORE : FILE c:\\team\\super.mdb NON ESISTE ");
  EXPECT_GE(recorder.count("tick Timer2"), 3);
  EXPECT_EQ(title, L"qanocontrol");
  EXPECT_TRUE(open_boxes().empty());
  EXPECT_FALSE(host->unloaded());
}

TEST_F(Win32HostTest, AFailureInATickWhileTheMessageBoxWaitsComesOutOfTheBox) {
  open(fast_timer_layout());
  recorder.on_tick = [] { fail(failure::kPathNotFound); };
  try {
    host->message_box("waiting");
    FAIL() << "the failure did not come through";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 76);
  }
  EXPECT_TRUE(open_boxes().empty());
  EXPECT_EQ(recorder.count("tick Timer2"), 1);
}

TEST_F(Win32HostTest, UnloadDuringTheMessageBoxClosesItAndTheWindowNeverShows) {
  open(fast_timer_layout());
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 1) PostMessageW(host->window(), WM_ENDSESSION, TRUE, 0);
  };
  host->message_box("waiting");
  EXPECT_TRUE(host->unloaded());
  EXPECT_TRUE(open_boxes().empty());
  host->show();
  EXPECT_FALSE(IsWindowVisible(host->window()));
  host->run();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"tick Timer2", "unload"}));
}

}  // namespace
}  // namespace qano
