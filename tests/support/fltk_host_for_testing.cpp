#include "tests/support/fltk_host_for_testing.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/x.H>

#include <chrono>
#include <memory>

#include "platform/fltk/fltk_host_impl.h"

namespace qano {

namespace {

Rgb rgb_of(Fl_Color c) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(c, r, g, b);
  return {r, g, b};
}

}  // namespace

void FltkHostForTesting::run_for(double seconds) {
  using clock = std::chrono::steady_clock;
  auto end = clock::now() + std::chrono::duration<double>(seconds);
  while (host_.impl_->dispatch.running()) {
    double left = std::chrono::duration<double>(end - clock::now()).count();
    if (left <= 0) break;
    Fl::wait(left);
  }
  host_.impl_->dispatch.rethrow_failure();
}

bool FltkHostForTesting::unloaded() const {
  return host_.impl_->dispatch.unloaded();
}

std::optional<WidgetFacts> FltkHostForTesting::facts(const std::string& name, int index) const {
  auto it = host_.impl_->widgets.find({name, index});
  if (it == host_.impl_->widgets.end()) return std::nullopt;
  Fl_Widget* w = it->second;
  WidgetFacts f;
  f.x = w->x();
  f.y = w->y();
  f.width = w->w();
  f.height = w->h();
  f.visible = w->visible_r();
  f.takes_focus = w->visible_focus() && w->active() && dynamic_cast<fltk::Caption*>(w) == nullptr &&
                  dynamic_cast<fltk::Lamp*>(w) == nullptr &&
                  dynamic_cast<fltk::Frame*>(w) == nullptr;
  f.has_image = w->image() != nullptr;
  f.colour = rgb_of(w->color());
  if (auto* caption = dynamic_cast<fltk::Caption*>(w)) {
    f.label = caption->text();
    f.font_size = caption->labelsize();
    f.bold = caption->labelfont() == FL_HELVETICA_BOLD;
  } else if (auto* frame = dynamic_cast<fltk::Frame*>(w)) {
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

std::string FltkHostForTesting::focus() const {
  auto it = host_.impl_->names.find(Fl::focus());
  return it == host_.impl_->names.end() ? std::string() : it->second;
}

int FltkHostForTesting::client_width() const {
  return host_.impl_->window ? host_.impl_->window->w() : 0;
}
int FltkHostForTesting::client_height() const {
  return host_.impl_->window ? host_.impl_->window->h() : 0;
}

bool FltkHostForTesting::has_menu_bar() const {
  if (host_.impl_->window == nullptr) return false;
  for (int i = 0; i < host_.impl_->window->children(); ++i) {
    if (dynamic_cast<Fl_Menu_Bar*>(host_.impl_->window->child(i))) return true;
  }
  return false;
}

unsigned long FltkHostForTesting::x_window() const {
  return host_.impl_->window && host_.impl_->window->shown() ? fl_xid(host_.impl_->window) : 0;
}

bool FltkHostForTesting::window_has_icon() const {
  return host_.impl_->icon != nullptr;
}

std::vector<std::pair<std::string, double>> FltkHostForTesting::timers() const {
  std::vector<std::pair<std::string, double>> running;
  for (const auto& t : host_.impl_->timers) {
    if (t->fd >= 0) running.emplace_back(t->name, t->seconds);
  }
  return running;
}

std::optional<MessageBoxFacts> FltkHostForTesting::open_message_box() const {
  fltk::MessageBox* box = host_.impl_->box;
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

void FltkHostForTesting::post(std::function<void()> step) {
  auto* heap = new std::function<void()>(std::move(step));
  Fl::add_timeout(
      0.0,
      [](void* data) {
        std::unique_ptr<std::function<void()>> step(static_cast<std::function<void()>*>(data));
        // Whatever the step does outside this program (another client looking at a window)
        // sees every window made so far.
        fltk::sync_with_display();
        (*step)();
      },
      heap);
}

}  // namespace qano
