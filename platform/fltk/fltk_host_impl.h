// The inside of the FLTK window host: for its own sources and for the tests' access to it
// (tests/support/fltk_host_for_testing.h), nobody else.
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <signal.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/fltk/fltk_host.h"
#include "platform/fltk/fltk_widgets.h"
#include "platform/pictures/pictures.h"
#include "platform/support/hosts/event_dispatch.h"

namespace qano {

// A handled timer: a timerfd that the loop watches. The kernel counts the periods that passed
// while the loop was busy (a long start-up) and the handler runs once for them all, as the
// Windows timer merges pending ticks into one; the period keeps its phase. FLTK's own repeating
// timeout would instead catch up on every tick it missed, one straight after the other.
struct FltkTimerSlot {
  FltkHost::Impl* impl;
  std::string name;
  double seconds;
  int fd = -1;  // -1 once stopped
};

struct FltkHost::Impl {
  WindowLayout layout;
  DriveListContents drives;
  // The run ends with every window closed: the main window, and a message box that waits.
  EventDispatch dispatch{[this] {
    stop_timers();
    close_every_window();
  }};
  Fl_Double_Window* window = nullptr;
  std::map<std::pair<std::string, int>, Fl_Widget*> widgets;
  std::map<Fl_Widget*, std::string> names;
  std::vector<std::unique_ptr<FltkTimerSlot>> timers;
  bool reporting = false;  // the failure box waits
  pictures::Picture icon_picture;
  pictures::Picture door_picture;
  std::unique_ptr<Fl_RGB_Image> icon;
  std::unique_ptr<Fl_RGB_Image> door;
  fltk::MessageBox* box = nullptr;  // the innermost message box that waits
  struct sigaction old_actions[3];

  void stop_timers();
  static void close_every_window();
  void start_timer(const std::string& name, int interval_ms);
  static void on_tick(int fd, void* data);
  static void on_signal_pipe(int fd, void*);
  Fl_Widget* add_widget(const ControlLayout& c, int ox, int oy);
  void build();
};

}  // namespace qano
