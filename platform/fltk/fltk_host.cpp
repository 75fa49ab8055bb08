#include "platform/fltk/fltk_host.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/x.H>
#include <fcntl.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/fltk/fltk_host_impl.h"
#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
// The font and X libraries keep their caches for the life of the process; the leak checker of a
// sanitized build would report them at exit.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libX11.so\nleak:libXft.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif

namespace qano {

static_assert(ProgramHost<FltkHost>);

using fltk::font_face;
using fltk::font_pixels;

namespace {

FltkHost::Impl* g_host = nullptr;  // for the signal and display-loss handlers
int g_signal_pipe[2] = {-1, -1};

extern "C" void on_session_signal(int) {
  int saved = errno;
  if (g_signal_pipe[1] >= 0) {
    [[maybe_unused]] ssize_t ignored = ::write(g_signal_pipe[1], "x", 1);
  }
  errno = saved;
}

// The display went away (the session ended): unload as on any other close, then end.
int on_display_lost(Display*) {
  int status = 0;
  FltkHost::Impl* host = g_host;
  if (host != nullptr) {
    if (host->reporting || host->dispatch.failed()) status = 1;
    if (!host->dispatch.unloaded() && host->dispatch.events() != nullptr && status == 0) {
      try {
        bool cancel = false;
        host->dispatch.events()->unload(cancel);
      } catch (const Failure& f) {
        std::string line = std::string(kProgramName) + ": run-time error " +
                           std::to_string(f.number()) + ": " + f.text() + "\n";
        [[maybe_unused]] ssize_t ignored = ::write(2, line.data(), line.size());
        status = 1;
      } catch (...) {
        status = 1;
      }
    }
  }
  std::_Exit(status);
}

class MainWindow : public Fl_Double_Window {
 public:
  MainWindow(int w, int h, const char* title, FltkHost::Impl* host)
      : Fl_Double_Window(w, h, title) {
    callback(
        [](Fl_Widget*, void* data) {
          // Esc reaches the window as a shortcut nobody took: it does nothing here.
          if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
          static_cast<FltkHost::Impl*>(data)->dispatch.close();
        },
        host);
  }
};

}  // namespace

void FltkHost::Impl::stop_timers() {
  for (auto& t : timers) {
    if (t->fd < 0) continue;
    Fl::remove_fd(t->fd);
    ::close(t->fd);
    t->fd = -1;
  }
}

void FltkHost::Impl::close_every_window() {
  while (Fl_Window* w = Fl::first_window()) w->hide();
}

void FltkHost::Impl::on_tick(int fd, void* data) {
  std::uint64_t expirations = 0;
  if (::read(fd, &expirations, sizeof expirations) != sizeof expirations) return;
  auto* slot = static_cast<FltkTimerSlot*>(data);
  slot->impl->dispatch.tick(slot->name);
}

void FltkHost::Impl::start_timer(const std::string& name, int interval_ms) {
  int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) {
    if (errno == EMFILE || errno == ENFILE) qano::fail(67, "Too many files");
    qano::fail(7, "Out of memory");
  }
  itimerspec period{};
  period.it_interval.tv_sec = interval_ms / 1000;
  period.it_interval.tv_nsec = static_cast<long>(interval_ms % 1000) * 1000000L;
  period.it_value = period.it_interval;
  ::timerfd_settime(fd, 0, &period, nullptr);
  timers.push_back(
      std::make_unique<FltkTimerSlot>(FltkTimerSlot{this, name, interval_ms / 1000.0, fd}));
  Fl::add_fd(fd, FL_READ, &Impl::on_tick, timers.back().get());
}

void FltkHost::Impl::on_signal_pipe(int fd, void*) {
  char buffer[64];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
  if (g_host) g_host->dispatch.close();
}

Fl_Widget* FltkHost::Impl::add_widget(const ControlLayout& c, int ox, int oy) {
  if (!c.rect) return nullptr;
  int x = ox + pixels(c.rect->left), y = oy + pixels(c.rect->top);
  int w = pixels(c.rect->width), h = pixels(c.rect->height);
  FontStyle font = c.font.value_or(FontStyle{"MS Sans Serif", 8.25, false});
  Fl_Widget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::command_button: {
      auto* b = new fltk::PictureButton(x, y, w, h, c.caption);
      b->labelfont(font_face(font));
      b->labelsize(font_pixels(font.points));
      b->image(door.get());
      if (c.handled) {
        b->callback(
            [](Fl_Widget* wgt, void* data) {
              auto* impl = static_cast<Impl*>(data);
              std::string name = impl->names[wgt];
              impl->dispatch.click(name);
            },
            this);
      }
      widget = b;
      break;
    }
    case ControlKind::text_box: {
      auto* input = new fltk::TextBox(x, y, w, h);
      input->textfont(font_face(font));
      input->textsize(font_pixels(font.points));
      input->value(c.caption.c_str());
      widget = input;
      break;
    }
    case ControlKind::label: {
      bool number = c.caption.size() <= 2;  // the board's row numbers sit centred in their lamp
      auto* label = new fltk::Caption(
          x, y, w, h, c.caption, (number ? FL_ALIGN_CENTER : FL_ALIGN_TOP_LEFT) | FL_ALIGN_INSIDE);
      label->labelfont(font_face(font));
      label->labelsize(font_pixels(font.points));
      widget = label;
      break;
    }
    case ControlKind::shape: {
      Rgb fill = c.fill.value_or(Rgb{255, 255, 255});
      widget = new fltk::Lamp(x, y, w, h, fl_rgb_color(fill.red, fill.green, fill.blue));
      break;
    }
    case ControlKind::drive_list: {
      auto* list = new Fl_Choice(x, y, w, h);
      list->textfont(font_face(font));
      list->textsize(font_pixels(font.points));
      std::vector<std::string> entries = drives.drives;
      if (std::find(entries.begin(), entries.end(), drives.current) == entries.end() &&
          !drives.current.empty()) {
        entries.push_back(drives.current);
        std::sort(entries.begin(), entries.end());
      }
      for (const std::string& d : entries) {
        int i = list->add("x");
        list->replace(i, d.c_str());  // no menu syntax in the entry's text
        if (d == drives.current) list->value(i);
      }
      widget = list;
      break;
    }
    case ControlKind::frame:  // built by build()
    case ControlKind::timer:
    case ControlKind::data:  // not shown: they are bound to nothing and nobody works them
    case ControlKind::ftp_client:
    case ControlKind::menu:
      return nullptr;
  }
  return widget;
}

void FltkHost::Impl::build() {
  int w = pixels(layout.client_width), h = pixels(layout.client_height);
  window = new MainWindow(w, h, layout.title.c_str(), this);
  window->copy_label(layout.title.c_str());
  window->size_range(w, h, w, h);
  window->icon(icon.get());
  if (Fl::w() > w && Fl::h() > h) window->position((Fl::w() - w) / 2, (Fl::h() - h) / 2);

  // Containers first, so that their controls can be placed inside them.
  std::map<std::string, fltk::Frame*> frames;
  std::map<std::string, const ControlLayout*> frame_layouts;
  for (const ControlLayout& c : layout.controls) {
    if (c.kind == ControlKind::frame) frame_layouts[c.name] = &c;
  }

  window->begin();
  std::string open_frame;
  auto close_frame = [&] {
    if (!open_frame.empty()) {
      frames[open_frame]->end();
      window->begin();
      open_frame.clear();
    }
  };
  for (const ControlLayout& c : layout.controls) {
    Fl_Widget* widget = nullptr;
    if (c.kind == ControlKind::frame) {
      close_frame();
      FontStyle font = c.font.value_or(FontStyle{"MS Sans Serif", 8.25, false});
      auto* frame = new fltk::Frame(pixels(c.rect->left), pixels(c.rect->top),
                                    pixels(c.rect->width), pixels(c.rect->height), c.caption,
                                    font_face(font), font_pixels(font.points));
      frames[c.name] = frame;
      open_frame = c.name;  // the frame stays open for the controls that follow it
      widget = frame;
    } else if (!c.container.empty() && frame_layouts.count(c.container)) {
      if (open_frame != c.container) {
        close_frame();
        frames.at(c.container)->begin();
        open_frame = c.container;
      }
      const ControlLayout& f = *frame_layouts.at(c.container);
      widget = add_widget(c, pixels(f.rect->left), pixels(f.rect->top));
    } else {
      close_frame();
      widget = add_widget(c, 0, 0);
    }
    if (widget != nullptr) {
      widgets[{c.name, c.index}] = widget;
      names[widget] = c.name;
    }
  }
  close_frame();
  window->end();

  for (const ControlLayout& c : layout.controls) {
    if (c.kind == ControlKind::timer && c.handled && c.enabled && c.interval_ms > 0) {
      start_timer(c.name, c.interval_ms);
    }
  }
}

FltkHost::FltkHost(const WindowLayout& layout) : impl_(std::make_unique<Impl>()) {
  impl_->layout = layout;
  if (fl_display == nullptr) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
      const char* name = std::getenv("DISPLAY");
      fail(51, std::string("Cannot open the display '") + (name ? name : "") + "'");
    }
    fl_open_display(display);
  }
  XSetIOErrorHandler(&on_display_lost);
  Fl::get_system_colors();

  impl_->icon_picture = pictures::window_icon();
  impl_->icon = std::make_unique<Fl_RGB_Image>(
      impl_->icon_picture.rgba.data(), impl_->icon_picture.width, impl_->icon_picture.height, 4);
  impl_->door_picture = pictures::exit_door(32);
  impl_->door = std::make_unique<Fl_RGB_Image>(
      impl_->door_picture.rgba.data(), impl_->door_picture.width, impl_->door_picture.height, 4);
  g_host = impl_.get();
}

FltkHost::~FltkHost() {
  impl_->stop_timers();
  if (g_signal_pipe[0] >= 0) {
    Fl::remove_fd(g_signal_pipe[0]);
    const int signals[3] = {SIGTERM, SIGHUP, SIGINT};
    for (int i = 0; i < 3; ++i) ::sigaction(signals[i], &impl_->old_actions[i], nullptr);
    ::close(g_signal_pipe[0]);
    ::close(g_signal_pipe[1]);
    g_signal_pipe[0] = g_signal_pipe[1] = -1;
  }
  delete impl_->window;
  Fl::flush();
  if (g_host == impl_.get()) g_host = nullptr;
}

void FltkHost::create(WindowEvents& events, DriveListContents drives) {
  impl_->dispatch.attach(events);
  impl_->drives = std::move(drives);
  impl_->build();
  // The end of the session arrives as a signal; the loop picks it up as a close of the window.
  if (g_signal_pipe[0] < 0 && ::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    Fl::add_fd(g_signal_pipe[0], FL_READ, &Impl::on_signal_pipe);
    struct sigaction action {};
    action.sa_handler = &on_session_signal;
    sigemptyset(&action.sa_mask);
    const int signals[3] = {SIGTERM, SIGHUP, SIGINT};
    for (int i = 0; i < 3; ++i) ::sigaction(signals[i], &action, &impl_->old_actions[i]);
  }
}

void FltkHost::show() {
  if (!impl_->dispatch.running() || impl_->window == nullptr) return;
  impl_->window->show();
  for (const ControlLayout& c : impl_->layout.controls) {
    if (c.tab_index == 0) {
      auto it = impl_->widgets.find({c.name, c.index});
      if (it != impl_->widgets.end()) it->second->take_focus();
    }
  }
  fltk::sync_with_display();
}

void FltkHost::run() {
  while (impl_->dispatch.running() && impl_->window != nullptr && impl_->window->shown()) {
    Fl::wait(1e20);
  }
  impl_->dispatch.rethrow_failure();
}

void FltkHost::unload() {
  impl_->dispatch.unload();
}

void FltkHost::failure_box(const std::string& text) {
  impl_->reporting = true;
  impl_->stop_timers();
  message_box(text);
}

void FltkHost::message_box(const std::string& text) {
  fltk::MessageBox box(text);
  fltk::MessageBox* outer = impl_->box;
  impl_->box = &box;
  box.show();
  fltk::sync_with_display();
  box.ok()->take_focus();
  while (box.shown()) Fl::wait(1e20);
  impl_->box = outer;
  impl_->dispatch.rethrow_failure();
}

}  // namespace qano
