// The Win32 window host in this process, under Wine on a virtual display: the window it builds
// from the layout (fonts, icon, drive list), its timers, its message box, and failures raised by
// the window's handlers at every point of the loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/layout.h"
#include "platform/failure.h"
#include "platform/win32/win32_host.h"
#include "tests/support/win32_host_for_testing.h"
#include "tests/support/window_recorder.h"

namespace qano {
namespace {

using Recorder = testing::WindowRecorder;

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

// A picture of the window as the screen shows it, as a 24-bit BMP, where QANO_SCREENSHOT names
// a file: the Windows window beside the demo's picture of the Linux one.
void save_screenshot(HWND window) {
  const char* path = std::getenv("QANO_SCREENSHOT");
  if (path == nullptr || *path == '\0') return;
  RECT r{};
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;  // rows bottom to top, as a BMP file holds them
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  int stride = ((w * 3 + 3) / 4) * 4;
  std::vector<char> pixels(static_cast<std::size_t>(stride * h));
  SelectObject(memory, old);
  GetDIBits(memory, picture, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
            DIB_RGB_COLORS);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

class Win32HostTest : public ::testing::Test {
 protected:
  void open(const WindowLayout& layout = form1_layout()) {
    host = std::make_unique<Win32Host>(layout);
    recorder.host = host.get();
    host->create(recorder, DriveListContents{{"c:", "d:", "z:"}, "d:"});
  }
  Win32HostForTesting look() const { return Win32HostForTesting(*host); }
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
    HWND w = look().control(c.name, c.index);
    ASSERT_NE(w, nullptr);
    LOGFONTW f = font_of(w);
    EXPECT_EQ(f.lfHeight, -c.height);
    EXPECT_EQ(f.lfWeight >= FW_BOLD, c.bold);
    EXPECT_EQ(std::wstring(f.lfFaceName), L"MS Sans Serif");
  }

  auto icon = reinterpret_cast<HICON>(SendMessageW(look().window(), WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  HWND drives = look().control("Drive1");
  EXPECT_EQ(SendMessageW(drives, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(text_of(drives), L"d:");
  EXPECT_EQ(look().control("var"), nullptr) << "data controls are not shown";
  EXPECT_EQ(look().control("Timer2"), nullptr);
}

// The board as the FLTK host draws it: all seven zeros of every counter in the font that is
// really chosen, and round lamps that do not stretch with their row.
TEST_F(Win32HostTest, TheBoardShowsEveryCounterWholeAndRoundLamps) {
  open();
  host->show();
  for (const char* column : {"num", "pun"}) {
    for (int i = 1; i <= 10; ++i) {
      SCOPED_TRACE(std::string(column) + std::to_string(i));
      HWND counter = look().control(column, i);
      ASSERT_NE(counter, nullptr);
      HDC dc = GetDC(counter);
      HGDIOBJ old =
          SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(counter, WM_GETFONT, 0, 0)));
      SIZE extent{};
      GetTextExtentPoint32W(dc, L"0000000", 7, &extent);
      SelectObject(dc, old);
      ReleaseDC(counter, dc);
      RECT client{};
      GetClientRect(counter, &client);
      EXPECT_GE(client.right, extent.cx) << "the caption's width in its font";
      EXPECT_GE(client.bottom, extent.cy);
      EXPECT_EQ(text_of(counter), L"0000000");
    }
  }
  // Lamp 7 is wider than high: round, the sides of its rectangle stay the frame's.
  HWND lamp = look().control("c1", 7);
  ASSERT_NE(lamp, nullptr);
  RedrawWindow(look().window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  GetClientRect(lamp, &r);
  ASSERT_GT(r.right, r.bottom);
  HDC dc = GetDC(lamp);
  // Above the row's number, which lies in the middle of the lamp.
  COLORREF middle = GetPixel(dc, r.right / 2, 3);
  COLORREF side = GetPixel(dc, 1, r.bottom / 2);
  ReleaseDC(lamp, dc);
  EXPECT_EQ(middle, RGB(224, 224, 224)) << "the lamp's grey";
  EXPECT_NE(side, RGB(224, 224, 224)) << "no lamp at the rectangle's side";
  save_screenshot(look().window());
}

TEST_F(Win32HostTest, OnlyTimer2TicksAndTicksStopAtUnload) {
  open(fast_timer_layout());
  host->show();
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 3) host->unload();
  };
  host->run();
  EXPECT_TRUE(look().unloaded());
  EXPECT_EQ(recorder.count("tick Timer2"), 3);
  EXPECT_EQ(recorder.count("tick Timer1"), 0);
  EXPECT_EQ(recorder.events.back(), "unload");
  EXPECT_FALSE(IsWindowVisible(look().window()));
}

TEST_F(Win32HostTest, ACloseRequestAndTheEndOfTheSessionUnload) {
  for (UINT message : {WM_CLOSE, WM_ENDSESSION}) {
    SCOPED_TRACE(message);
    recorder.events.clear();
    open();
    host->show();
    PostMessageW(look().window(), message, TRUE, 0);
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
    HWND uscita = look().control("Command1");
    ASSERT_EQ(GetFocus(), uscita);
    PostMessageW(uscita, WM_KEYDOWN, key, 1);
    PostMessageW(uscita, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    host->run();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"click Command1", "unload"}));
    host.reset();
  }
}

// Which failure comes out, and that no event follows it: tests/platform/event_dispatch_test.cpp.
TEST_F(Win32HostTest, AFailureInATickHidesTheWindowAndStopsTheTimers) {
  open(fast_timer_layout());
  host->show();
  recorder.on_tick = [] { fail(failure::kFileNotFound); };
  EXPECT_THROW(host->run(), Failure);
  EXPECT_FALSE(IsWindowVisible(look().window()));
  // No further tick comes, whatever waited in the queue: the timers are gone.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(recorder.count("tick Timer2"), 1);
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
  EXPECT_FALSE(look().unloaded());
}

TEST_F(Win32HostTest, AFailureInATickWhileTheMessageBoxWaitsClosesTheBox) {
  open(fast_timer_layout());
  recorder.on_tick = [] { fail(failure::kPathNotFound); };
  EXPECT_THROW(host->message_box("waiting"), Failure);
  EXPECT_TRUE(open_boxes().empty());
}

TEST_F(Win32HostTest, TheEndOfTheSessionDuringTheMessageBoxClosesItAndTheWindowNeverShows) {
  open(fast_timer_layout());
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 1) PostMessageW(look().window(), WM_ENDSESSION, TRUE, 0);
  };
  host->message_box("waiting");
  EXPECT_TRUE(open_boxes().empty());
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"tick Timer2", "unload"}));
  host->show();
  EXPECT_FALSE(IsWindowVisible(look().window()));
}

}  // namespace
}  // namespace qano
