// The window host on Windows, with plain Win32 controls: renders a WindowLayout at 15 twips per
// pixel, runs its handled timers with SetTimer, and routes Load, Unload, Click and tick events to
// the window's handlers, one at a time on the one thread. It also shows the program's message
// boxes (MessageBoxW: OK only, no icon, the title "qanocontrol").
//
// Its choices where the window leaves them open, the same as on Linux:
// - The data controls, the FTP component and the menu are not shown; the drive list is, as a
//   drop-down list of the drives with the current one chosen.
// - Keys work as in a dialog: Tab and Shift+Tab move the focus through the button, the text box
//   and the drive list; Enter and Space press the button that has the focus; Enter elsewhere and
//   Esc do nothing.
// - WM_CLOSE (close box, system menu, Alt+F4, another program asking) and the end of the session
//   (WM_ENDSESSION) unload the window like "Uscita".
// - Ticks go on while a message box waits: an unattended workstation keeps taking archives even
//   when nobody is there to press OK.
//
// Every shown control is a child of the main window (a frame's controls too, placed inside its
// rectangle), with the control id win32_control_id(position in the layout), so that a program
// that looks at the window from outside can find each control by its layout entry.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

#include "platform/window.h"

namespace qano {

// The id of the child window that shows layout.controls[position].
inline int win32_control_id(std::size_t position) {
  return 1000 + static_cast<int>(position);
}
// The window class of the main window.
inline constexpr const wchar_t* kWin32WindowClass = L"qanocontrol.Form1";

class Win32Host : public WindowHost {
 public:
  explicit Win32Host(const WindowLayout& layout);
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  // ProgramHost (platform/window.h).
  void create(WindowEvents& events, DriveListContents drives);
  // The window comes to the foreground, the focus to the control of tab index 0.
  void show();
  void run();
  void unload() override;
  // A MessageBoxW owned by the window.
  void message_box(const std::string& text);
  // A task-modal MessageBoxW, the window hidden; no timer runs any more.
  void failure_box(const std::string& text);

  struct Impl;

 private:
  // For the tests (tests/support/win32_host_for_testing.h): whether the window has been
  // unloaded, the main window (null before create()) and the child window of a control (null
  // when the control is not shown).
  friend class Win32HostForTesting;
  bool unloaded() const;
  HWND window() const;
  HWND control(const std::string& name, int index = 0) const;

  std::unique_ptr<Impl> impl_;
};

}  // namespace qano
