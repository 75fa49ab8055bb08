// What the tests see of the FLTK window host and how they run its loop for a while: the shown
// controls, the focus, the window's size, menu bar, X window and icon, the running timers and
// the open message box. Test-only: the host itself offers none of it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fltk/fltk_host.h"

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

// The open message box, while one waits: its title, text and buttons' labels.
struct MessageBoxFacts {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  bool has_icon = false;
  unsigned long x_window = 0;
};

class FltkHostForTesting {
 public:
  explicit FltkHostForTesting(FltkHost& host) : host_(host) {}

  // Handles events for at most `seconds`, or until the window has been unloaded.
  void run_for(double seconds);
  bool unloaded() const;
  // What is shown of a control (nothing when it has no widget), and the name of the control
  // that holds the focus.
  std::optional<WidgetFacts> facts(const std::string& name, int index = 0) const;
  std::string focus() const;
  // The window's client size in pixels, whether it has a menu bar, the X window id (0 before
  // show()) and whether it has an icon.
  int client_width() const;
  int client_height() const;
  bool has_menu_bar() const;
  unsigned long x_window() const;
  bool window_has_icon() const;
  // The running timers: name and period in seconds.
  std::vector<std::pair<std::string, double>> timers() const;
  std::optional<MessageBoxFacts> open_message_box() const;
  // Runs `step` from the message loop once, as soon as the loop next waits, after the display
  // has handled every request so far (for tests that act while a modal box is open).
  void post(std::function<void()> step);

 private:
  FltkHost& host_;
};

}  // namespace qano
