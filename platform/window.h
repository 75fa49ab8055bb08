// The program's window as data, and the two sides of its host: the host renders a WindowLayout and
// routes the window's events (Load, Unload, Click, Timer tick) to WindowEvents; the window asks
// the host to unload it through WindowHost. Positions and sizes are in twips, relative to the
// client area of the control's container; the host draws them at 15 twips per pixel.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qano {

inline constexpr int kTwipsPerPixel = 15;

// The pixel size of a twips measure.
inline int pixels(int twips) {
  return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

enum class ControlKind {
  label,
  text_box,
  frame,
  command_button,
  shape,
  timer,
  drive_list,
  data,        // a data control: a query binding with navigation arrows
  ftp_client,  // an outside FTP component; nothing is drawn for it
  menu,        // a menu entry or a menu item
};

const char* control_kind_name(ControlKind kind);

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct FontStyle {
  std::string name;
  double points = 0;
  bool bold = false;
  friend bool operator==(const FontStyle&, const FontStyle&) = default;
};

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// One control, or one element of a control array.
struct ControlLayout {
  std::string name;
  ControlKind kind = ControlKind::label;
  // The name of the containing control: empty for the window itself; for a menu item, its menu
  // entry.
  std::string container;
  int index = 0;                  // 1..10 for an element of a control array, else 0
  std::optional<TwipsRect> rect;  // none for timers, the FTP component and menu entries
  std::string caption;            // caption, or a text box's text
  std::optional<FontStyle> font;
  std::optional<Rgb> fill;       // a shape's fill colour
  std::optional<int> tab_index;  // none for controls without one
  int interval_ms = 0;           // timers
  bool enabled = true;
  std::string connect;  // data controls
  // Whether the program handles an event of this control (a button's Click, a timer's tick).
  bool handled = false;
};

struct WindowLayout {
  std::string title;
  int client_width = 0;   // twips
  int client_height = 0;  // twips
  std::vector<ControlLayout> controls;
};

// The drive list's entries and the entry it shows.
struct DriveListContents {
  std::vector<std::string> drives;  // "c:", "z:", ...
  std::string current;
};

// The window's events, as the host delivers them, one at a time on the one thread.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void load() = 0;
  // The window is going away. Setting `cancel` would keep it; the program never does.
  virtual void unload(bool& cancel) = 0;
  virtual void click(const std::string& control) = 0;
  virtual void tick(const std::string& timer) = 0;
};

// What the window can ask of its host.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Unloads the window the way closing it does: the unload event runs, then (unless it was
  // cancelled) the window and its timers go.
  virtual void unload() = 0;
};

// What the program's run needs of a window host (FLTK on Linux, Win32 on Windows): it is a
// WindowHost, builds the window and starts its timers with create(events, drives) (from then on
// the events go to `events`), shows it with show(), runs the message loop until the window is
// unloaded with run() (a failure raised by an event handler is thrown from there), and shows a
// modal box with message_box(text) and, for the failure that ends the program, failure_box(text):
// the text, an OK button only, no icon, the title "qanocontrol". Ticks go on while the first
// waits; a failure raised meanwhile closes it and is thrown from it. A concept rather than a base
// class: the run is a template over its host already, nothing holds a host by a base pointer, and
// each host keeps its own extras.
template <class Host>
concept ProgramHost = std::derived_from<Host, WindowHost> &&
    requires(Host& host, WindowEvents& events, DriveListContents drives, const std::string& text) {
  host.create(events, std::move(drives));
  host.show();
  host.run();
  host.message_box(text);
  host.failure_box(text);
};

}  // namespace qano
