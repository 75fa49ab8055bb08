#include "platform/fltk/fltk_widgets.h"

#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>

#include "platform/platform.h"

namespace qano::fltk {

namespace {

// Text drawn as it is: no "@" symbols, no "&" shortcuts.
void draw_text(const std::string& text, int x, int y, int w, int h, Fl_Align align) {
  fl_draw(text.c_str(), x, y, w, h, align, nullptr, 0);
}

}  // namespace

void sync_with_display() {
  Fl::flush();
  XSync(fl_display, False);
}

int font_pixels(double points) {
  // One point is 20 twips.
  return static_cast<int>(points * 20.0 / kTwipsPerPixel + 0.5);
}

Fl_Font font_face(const FontStyle& font) {
  return font.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}

void Caption::draw() {
  fl_font(labelfont(), labelsize());
  fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
  draw_text(text_, x(), y(), w(), h(), align_);
}

void Lamp::draw() {
  int d = std::min(w(), h());
  int lx = x() + (w() - d) / 2, ly = y() + (h() - d) / 2;
  fl_color(color());
  fl_pie(lx, ly, d, d, 0, 360);
  fl_color(FL_DARK3);
  fl_arc(lx, ly, d, d, 0, 360);
}

void Frame::draw() {
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

PictureButton::PictureButton(int x, int y, int w, int h, std::string caption)
    : Fl_Button(x, y, w, h), caption_(std::move(caption)) {
  label(caption_.c_str());
  clear_flag(SHORTCUT_LABEL);
  align(FL_ALIGN_CENTER | FL_ALIGN_IMAGE_NEXT_TO_TEXT);
}

int PictureButton::handle(int event) {
  if (event == FL_KEYBOARD && Fl::focus() == this &&
      (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
      !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META))) {
    simulate_key_action();
    do_callback();
    return 1;
  }
  return Fl_Button::handle(event);
}

int TextBox::handle(int event) {
  if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
    return 1;
  }
  return Fl_Input::handle(event);
}

MessageBox::MessageBox(const std::string& text)
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

}  // namespace qano::fltk
