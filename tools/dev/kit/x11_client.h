// What a desktop does to a window that a test has no tool for: ask it to close
// (WM_DELETE_WINDOW), and read a window's title and size.
#pragma once

#include <string>

namespace qano::testing {

// Sends the close request that a window manager sends for the close box. False when the display
// cannot be opened or the window is not there.
bool send_close_request(const std::string& display, unsigned long window);

struct WindowFacts {
  bool exists = false;
  std::string title;
  int width = 0;
  int height = 0;
  bool mapped = false;
  int icon_width = 0;  // from _NET_WM_ICON; 0 when the window has none
  int icon_height = 0;
};
WindowFacts window_facts(const std::string& display, unsigned long window);

// The shown top-level window with this title, or 0.
unsigned long find_window(const std::string& display, const std::string& title);

}  // namespace qano::testing
