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

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/window.h"

namespace qano {

// What a test can see of a shown control, in pixels relative to the window's client area.
struct WidgetFacts {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string label;
  int font_size = 0;  // pixels
  bool bold = false;
  bool visible = false;
  bool takes_focus = false;
  bool has_image = false;
  Rgb colour;  // fill (lamps), background otherwise
};

class FltkHost : public WindowHost {
 public:
  // Opens the display; failure 51 when there is none.
  explicit FltkHost(const WindowLayout& layout);
  ~FltkHost() override;
  FltkHost(const FltkHost&) = delete;
  FltkHost& operator=(const FltkHost&) = delete;

  // Builds the window with every control (the drive list holding `drives`) and starts its
  // handled timers; from now on the events go to `events`. The window is not shown yet.
  void create(WindowEvents& events, DriveListContents drives);
  // Shows the window with the focus on the control of tab index 0.
  void show();
  // Runs the message loop until the window has been unloaded. A failure raised by an event
  // handler ends the loop (no further event is handled) and is thrown from here.
  void run();
  // Handles events for at most `seconds`, or until the window has been unloaded.
  void run_for(double seconds);

  void unload() override;
  bool unloaded() const;

  // A modal message box with the text, an OK button only, no icon and the title "qanocontrol".
  // Enter, Space, Esc and its close box dismiss it too. Ticks go on while it waits; a failure
  // raised by one of them closes the box and is thrown from here.
  void message_box(const std::string& text);
  // The message box that reports a failure that ends the program. Should the display go away
  // while it waits, the program ends with status 1 all the same.
  void failure_box(const std::string& text);

  // For tests: what is shown of a control (nothing when it has no widget), the name of the
  // control that holds the focus, the window's client size in pixels and whether it has a menu
  // bar, and the X window id (0 before show()).
  std::optional<WidgetFacts> facts(const std::string& name, int index = 0) const;
  std::string focus() const;
  int client_width() const;
  int client_height() const;
  bool has_menu_bar() const;
  unsigned long x_window() const;
  bool window_has_icon() const;
  // The running timers: name and period in seconds.
  std::vector<std::pair<std::string, double>> timers() const;
  // The open message box, while one waits: its title, text and buttons' labels.
  struct MessageBoxFacts {
    std::string title;
    std::string text;
    std::vector<std::string> buttons;
    bool has_icon = false;
    unsigned long x_window = 0;
  };
  std::optional<MessageBoxFacts> open_message_box() const;
  // Runs `step` from the message loop once, as soon as the loop next waits, after the display
  // has handled every request so far (for tests that act while a modal box is open).
  void post(std::function<void()> step);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace qano
