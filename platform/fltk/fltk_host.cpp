#include "platform/fltk/fltk_host.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <fcntl.h>
#include <signal.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "platform/failure.h"
#include "platform/pictures/pictures.h"
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

namespace {

// Hands every request made so far to the display and waits until it has handled them: a window
// just shown is then there for other clients (without a window manager, mapped at once).
void sync_with_display() {
  Fl::flush();
  XSync(fl_display, False);
}

// Text drawn as it is: no "@" symbols, no "&" shortcuts.
void draw_text(const std::string& text, int x, int y, int w, int h, Fl_Align align) {
  fl_draw(text.c_str(), x, y, w, h, align, nullptr, 0);
}

int font_pixels(double points) {
  // One point is 20 twips.
  return static_cast<int>(points * 20.0 / kTwipsPerPixel + 0.5);
}

Fl_Font font_face(const FontStyle& font) {
  return font.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}

Rgb rgb_of(Fl_Color c) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(c, r, g, b);
  return {r, g, b};
}

// A caption with no box of its own.
class Caption : public Fl_Widget {
 public:
  Caption(int x, int y, int w, int h, std::string text, Fl_Align align)
      : Fl_Widget(x, y, w, h), text_(std::move(text)), align_(align) {}
  void draw() override {
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    draw_text(text_, x(), y(), w(), h(), align_);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  Fl_Align align_;
};

// A lamp of the status board: a round light of the shape's fill colour.
class Lamp : public Fl_Widget {
 public:
  Lamp(int x, int y, int w, int h, Fl_Color fill) : Fl_Widget(x, y, w, h) { color(fill); }
  void draw() override {
    int d = std::min(w(), h());
    int lx = x() + (w() - d) / 2, ly = y() + (h() - d) / 2;
    fl_color(color());
    fl_pie(lx, ly, d, d, 0, 360);
    fl_color(FL_DARK3);
    fl_arc(lx, ly, d, d, 0, 360);
  }
};

// A frame: an engraved rectangle with its caption set into the upper edge.
class Frame : public Fl_Group {
 public:
  Frame(int x, int y, int w, int h, std::string caption, Fl_Font face, int size)
      : Fl_Group(x, y, w, h), caption_(std::move(caption)), face_(face), size_(size) {
    box(FL_NO_BOX);
  }
  void draw() override {
    if (damage() & ~FL_DAMAGE_CHILD) {
      fl_color(parent() ? parent()->color() : FL_BACKGROUND_COLOR);
      fl_rectf(x(), y(), w(), h());
      fl_font(face_, size_);
      int edge = y() + fl_height() / 2;
      fl_draw_box(FL_ENGRAVED_FRAME, x(), edge, w(), h() - (edge - y()), FL_BACKGROUND_COLOR);
      int tw = static_cast<int>(fl_width(caption_.c_str())) + 4;
      fl_color(parent() ? parent()->color() : FL_BACKGROUND_COLOR);
      fl_rectf(x() + 6, y(), tw, fl_height());
      fl_color(FL_FOREGROUND_COLOR);
      draw_text(caption_, x() + 8, y(), tw, fl_height(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    }
    draw_children();
  }
  const std::string& caption() const { return caption_; }
  int caption_size() const { return size_; }
  bool caption_bold() const { return face_ == FL_HELVETICA_BOLD; }

 private:
  std::string caption_;
  Fl_Font face_;
  int size_;
};

// The button: its picture beside its caption. Space (as every button) and Enter press it while
// it has the focus.
class PictureButton : public Fl_Button {
 public:
  PictureButton(int x, int y, int w, int h, std::string caption)
      : Fl_Button(x, y, w, h), caption_(std::move(caption)) {
    label(caption_.c_str());
    clear_flag(SHORTCUT_LABEL);
    align(FL_ALIGN_CENTER | FL_ALIGN_IMAGE_NEXT_TO_TEXT);
  }
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
        !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META))) {
      simulate_key_action();
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }

 private:
  std::string caption_;
};

// A one-line text box. Enter in it does nothing at all (the toolkit would otherwise move the
// focus on).
class TextBox : public Fl_Input {
 public:
  using Fl_Input::Fl_Input;
  int handle(int event) override {
    if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      return 1;
    }
    return Fl_Input::handle(event);
  }
};

class MainWindow;

// A handled timer: a timerfd that the loop watches. The kernel counts the periods that passed
// while the loop was busy (a long start-up) and the handler runs once for them all, as the
// Windows timer merges pending ticks into one; the period keeps its phase. FLTK's own repeating
// timeout would instead catch up on every tick it missed, one straight after the other.
struct TimerSlot {
  FltkHost::Impl* impl;
  std::string name;
  double seconds;
  int fd = -1;  // -1 once stopped
};

// The message box: text, an OK button, nothing else.
class MessageBox : public Fl_Double_Window {
 public:
  explicit MessageBox(const std::string& text)
      : Fl_Double_Window(100, 100, kProgramName), text_(text) {
    begin();
    fl_font(FL_HELVETICA, kTextSize);
    int tw = 0, th = 0;
    fl_measure(text.c_str(), tw, th, 0);
    if (tw > kMaxTextWidth) {
      tw = kMaxTextWidth;
      th = 0;
      fl_measure(text.c_str(), tw, th, 0);
    }
    int width = std::max(tw + 2 * kMargin, 180);
    int height = kMargin + th + kMargin + kButtonHeight + kMargin;
    size(width, height);
    text_box_ = new Caption(kMargin, kMargin, width - 2 * kMargin, th, text,
                            FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    text_box_->labelfont(FL_HELVETICA);
    text_box_->labelsize(kTextSize);
    ok_ = new Fl_Button((width - kButtonWidth) / 2, height - kMargin - kButtonHeight, kButtonWidth,
                        kButtonHeight, "OK");
    ok_->shortcut(FL_Enter);
    ok_->callback([](Fl_Widget* w, void*) { w->window()->hide(); });
    end();
    set_modal();
    size_range(width, height, width, height);
    if (Fl::w() > 0) position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    // The close box and Esc dismiss the box as OK does.
    callback([](Fl_Widget* w, void*) { w->hide(); });
  }
  const std::string& text() const { return text_; }
  Fl_Button* ok() const { return ok_; }

 private:
  static constexpr int kTextSize = 13;
  static constexpr int kMaxTextWidth = 560;
  static constexpr int kMargin = 16;
  static constexpr int kButtonWidth = 88;
  static constexpr int kButtonHeight = 28;
  std::string text_;
  Caption* text_box_ = nullptr;
  Fl_Button* ok_ = nullptr;
};

FltkHost::Impl* g_host = nullptr;  // for the signal and display-loss handlers
int g_signal_pipe[2] = {-1, -1};

}  // namespace

struct FltkHost::Impl {
  WindowLayout layout;
  DriveListContents drives;
  WindowEvents* events = nullptr;
  Fl_Double_Window* window = nullptr;
  std::map<std::pair<std::string, int>, Fl_Widget*> widgets;
  std::map<Fl_Widget*, std::string> names;
  std::vector<std::unique_ptr<TimerSlot>> timers;
  std::exception_ptr failure;
  bool unloaded = false;
  bool reporting = false;
  pictures::Picture icon_picture;
  pictures::Picture door_picture;
  std::unique_ptr<Fl_RGB_Image> icon;
  std::unique_ptr<Fl_RGB_Image> door;
  MessageBox* box = nullptr;
  struct sigaction old_actions[3];

  // Runs an event handler. A failure it raises ends the run: no further event is handled, every
  // window closes, and the loop hands the failure on.
  template <class F>
  void deliver(F handler) {
    if (failure || unloaded || events == nullptr) return;
    try {
      handler();
    } catch (...) {
      fail(std::current_exception());
    }
  }

  void fail(std::exception_ptr e) {
    if (!failure) failure = e;
    stop_timers();
    close_every_window();
  }

  void stop_timers() {
    for (auto& t : timers) {
      if (t->fd < 0) continue;
      Fl::remove_fd(t->fd);
      ::close(t->fd);
      t->fd = -1;
    }
  }

  static void close_every_window() {
    while (Fl_Window* w = Fl::first_window()) w->hide();
  }

  void unload() {
    if (unloaded || events == nullptr) return;
    bool cancel = false;
    events->unload(cancel);
    if (cancel) return;
    unloaded = true;
    stop_timers();
    close_every_window();
  }

  void rethrow_failure() {
    if (failure) {
      std::exception_ptr e = failure;
      failure = nullptr;
      std::rethrow_exception(e);
    }
  }

  static void on_tick(int fd, void* data) {
    std::uint64_t expirations = 0;
    if (::read(fd, &expirations, sizeof expirations) != sizeof expirations) return;
    auto* slot = static_cast<TimerSlot*>(data);
    Impl* self = slot->impl;
    self->deliver([&] { self->events->tick(slot->name); });
  }

  void start_timer(const std::string& name, int interval_ms) {
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
    timers.push_back(std::make_unique<TimerSlot>(TimerSlot{this, name, interval_ms / 1000.0, fd}));
    Fl::add_fd(fd, FL_READ, &Impl::on_tick, timers.back().get());
  }

  static void on_signal_pipe(int fd, void*) {
    char buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    if (g_host) g_host->deliver([] { g_host->unload(); });
  }

  Fl_Widget* add_widget(const ControlLayout& c, int ox, int oy);
  void build();
};

namespace {

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
    if (host->reporting || host->failure) status = 1;
    if (!host->unloaded && host->events != nullptr && status == 0) {
      try {
        bool cancel = false;
        host->events->unload(cancel);
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
      : Fl_Double_Window(w, h, title), host_(host) {
    callback(
        [](Fl_Widget*, void* data) {
          // Esc reaches the window as a shortcut nobody took: it does nothing here.
          if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
          auto* impl = static_cast<FltkHost::Impl*>(data);
          impl->deliver([impl] { impl->unload(); });
        },
        host);
  }

 private:
  FltkHost::Impl* host_;
};

}  // namespace

Fl_Widget* FltkHost::Impl::add_widget(const ControlLayout& c, int ox, int oy) {
  if (!c.rect) return nullptr;
  int x = ox + pixels(c.rect->left), y = oy + pixels(c.rect->top);
  int w = pixels(c.rect->width), h = pixels(c.rect->height);
  FontStyle font = c.font.value_or(FontStyle{"MS Sans Serif", 8.25, false});
  Fl_Widget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::command_button: {
      auto* b = new PictureButton(x, y, w, h, c.caption);
      b->labelfont(font_face(font));
      b->labelsize(font_pixels(font.points));
      b->image(door.get());
      if (c.handled) {
        b->callback(
            [](Fl_Widget* wgt, void* data) {
              auto* impl = static_cast<Impl*>(data);
              std::string name = impl->names[wgt];
              impl->deliver([impl, name] { impl->events->click(name); });
            },
            this);
      }
      widget = b;
      break;
    }
    case ControlKind::text_box: {
      auto* input = new TextBox(x, y, w, h);
      input->textfont(font_face(font));
      input->textsize(font_pixels(font.points));
      input->value(c.caption.c_str());
      widget = input;
      break;
    }
    case ControlKind::label: {
      bool number = c.caption.size() <= 2;  // the board's row numbers sit centred in their lamp
      auto* label = new Caption(x, y, w, h, c.caption,
                                (number ? FL_ALIGN_CENTER : FL_ALIGN_TOP_LEFT) | FL_ALIGN_INSIDE);
      label->labelfont(font_face(font));
      label->labelsize(font_pixels(font.points));
      widget = label;
      break;
    }
    case ControlKind::shape: {
      Rgb fill = c.fill.value_or(Rgb{255, 255, 255});
      widget = new Lamp(x, y, w, h, fl_rgb_color(fill.red, fill.green, fill.blue));
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
  std::map<std::string, Frame*> frames;
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
      auto* frame =
          new Frame(pixels(c.rect->left), pixels(c.rect->top), pixels(c.rect->width),
                    pixels(c.rect->height), c.caption, font_face(font), font_pixels(font.points));
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
  impl_->events = &events;
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
  if (impl_->unloaded || impl_->failure || impl_->window == nullptr) return;
  impl_->window->show();
  for (const ControlLayout& c : impl_->layout.controls) {
    if (c.tab_index == 0) {
      auto it = impl_->widgets.find({c.name, c.index});
      if (it != impl_->widgets.end()) it->second->take_focus();
    }
  }
  sync_with_display();
}

void FltkHost::run() {
  while (!impl_->unloaded && !impl_->failure && impl_->window != nullptr &&
         impl_->window->shown()) {
    Fl::wait(1e20);
  }
  impl_->rethrow_failure();
}

void FltkHost::run_for(double seconds) {
  using clock = std::chrono::steady_clock;
  auto end = clock::now() + std::chrono::duration<double>(seconds);
  while (!impl_->unloaded && !impl_->failure) {
    double left = std::chrono::duration<double>(end - clock::now()).count();
    if (left <= 0) break;
    Fl::wait(left);
  }
  impl_->rethrow_failure();
}

void FltkHost::unload() {
  impl_->unload();
}

bool FltkHost::unloaded() const {
  return impl_->unloaded;
}

void FltkHost::failure_box(const std::string& text) {
  impl_->reporting = true;
  impl_->stop_timers();
  message_box(text);
}

void FltkHost::message_box(const std::string& text) {
  MessageBox box(text);
  MessageBox* outer = impl_->box;
  impl_->box = &box;
  box.show();
  sync_with_display();
  box.ok()->take_focus();
  while (box.shown()) Fl::wait(1e20);
  impl_->box = outer;
  impl_->rethrow_failure();
}

std::optional<WidgetFacts> FltkHost::facts(const std::string& name, int index) const {
  auto it = impl_->widgets.find({name, index});
  if (it == impl_->widgets.end()) return std::nullopt;
  Fl_Widget* w = it->second;
  WidgetFacts f;
  f.x = w->x();
  f.y = w->y();
  f.width = w->w();
  f.height = w->h();
  f.visible = w->visible_r();
  f.takes_focus = w->visible_focus() && w->active() && dynamic_cast<Caption*>(w) == nullptr &&
                  dynamic_cast<Lamp*>(w) == nullptr && dynamic_cast<Frame*>(w) == nullptr;
  f.has_image = w->image() != nullptr;
  f.colour = rgb_of(w->color());
  if (auto* caption = dynamic_cast<Caption*>(w)) {
    f.label = caption->text();
    f.font_size = caption->labelsize();
    f.bold = caption->labelfont() == FL_HELVETICA_BOLD;
  } else if (auto* frame = dynamic_cast<Frame*>(w)) {
    f.label = frame->caption();
    f.font_size = frame->caption_size();
    f.bold = frame->caption_bold();
  } else if (auto* input = dynamic_cast<Fl_Input*>(w)) {
    f.label = input->value();
    f.font_size = input->textsize();
    f.bold = input->textfont() == FL_HELVETICA_BOLD;
  } else if (auto* choice = dynamic_cast<Fl_Choice*>(w)) {
    f.label = choice->text() ? choice->text() : "";
    f.font_size = choice->textsize();
    f.bold = choice->textfont() == FL_HELVETICA_BOLD;
  } else {
    f.label = w->label() ? w->label() : "";
    f.font_size = w->labelsize();
    f.bold = w->labelfont() == FL_HELVETICA_BOLD;
  }
  return f;
}

std::string FltkHost::focus() const {
  auto it = impl_->names.find(Fl::focus());
  return it == impl_->names.end() ? std::string() : it->second;
}

int FltkHost::client_width() const {
  return impl_->window ? impl_->window->w() : 0;
}
int FltkHost::client_height() const {
  return impl_->window ? impl_->window->h() : 0;
}

bool FltkHost::has_menu_bar() const {
  if (impl_->window == nullptr) return false;
  for (int i = 0; i < impl_->window->children(); ++i) {
    if (dynamic_cast<Fl_Menu_Bar*>(impl_->window->child(i))) return true;
  }
  return false;
}

unsigned long FltkHost::x_window() const {
  return impl_->window && impl_->window->shown() ? fl_xid(impl_->window) : 0;
}

bool FltkHost::window_has_icon() const {
  return impl_->icon != nullptr;
}

std::vector<std::pair<std::string, double>> FltkHost::timers() const {
  std::vector<std::pair<std::string, double>> running;
  for (const auto& t : impl_->timers) {
    if (t->fd >= 0) running.emplace_back(t->name, t->seconds);
  }
  return running;
}

std::optional<FltkHost::MessageBoxFacts> FltkHost::open_message_box() const {
  MessageBox* box = impl_->box;
  if (box == nullptr) return std::nullopt;
  MessageBoxFacts f;
  f.title = box->label() ? box->label() : "";
  f.text = box->text();
  for (int i = 0; i < box->children(); ++i) {
    if (auto* b = dynamic_cast<Fl_Button*>(box->child(i))) f.buttons.push_back(b->label());
    if (box->child(i)->image() != nullptr) f.has_icon = true;
  }
  f.x_window = box->shown() ? fl_xid(box) : 0;
  return f;
}

void FltkHost::post(std::function<void()> step) {
  auto* heap = new std::function<void()>(std::move(step));
  Fl::add_timeout(
      0.0,
      [](void* data) {
        std::unique_ptr<std::function<void()>> step(static_cast<std::function<void()>*>(data));
        // Whatever the step does outside this program (another client looking at a window)
        // sees every window made so far.
        sync_with_display();
        (*step)();
      },
      heap);
}

}  // namespace qano
