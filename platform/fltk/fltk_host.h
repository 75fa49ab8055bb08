// The window host on Linux, with FLTK: renders a WindowLayout at 15 twips per pixel, runs its
// handled timers, and routes Load, Unload, Click and tick events to the window's handlers, one at
// a time on the one thread. It also shows the program's message boxes.
//
// Its choices where the window leaves them open:
// - The data controls, the FTP component and the menu are not shown; the drive list is.
// - Esc does nothing. Enter and Space press "Uscita" when it has the focus; Enter in the text box
//   does nothing.
// - The close box, a close request from the desktop (WM_DELETE_WINDOW), the end of the session
//   (SIGTERM, SIGHUP, SIGINT, or the display going away) unload the window like "Uscita".
// - Ticks go on while a message box waits: an unattended workstation keeps taking archives even
//   when nobody is there to press OK.
#pragma once

#include <memory>
#include <string>

#include "platform/window.h"

namespace qano {

class FltkHost : public WindowHost {
 public:
  // Opens the display; failure 51 when there is none.
  explicit FltkHost(const WindowLayout& layout);
  ~FltkHost() override;
  FltkHost(const FltkHost&) = delete;
  FltkHost& operator=(const FltkHost&) = delete;

  // ProgramHost (platform/window.h).
  void create(WindowEvents& events, DriveListContents drives);
  // The focus goes to the control of tab index 0.
  void show();
  void run();
  void unload() override;
  // Enter, Space, Esc and the box's close box dismiss it too.
  void message_box(const std::string& text);
  // Should the display go away while it waits, the program ends with status 1 all the same.
  void failure_box(const std::string& text);

  struct Impl;

 private:
  // What the tests look at, and how they run the loop for a while.
  friend class FltkHostForTesting;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qano
