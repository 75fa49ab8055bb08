// The widgets of the FLTK window host: captions, lamps, frames, the picture button, the text box
// and the message box, each drawn as the window's design has it.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>

#include <string>
#include <utility>

#include "platform/window.h"

namespace qano::fltk {

// Hands every request made so far to the display and waits until it has handled them: a window
// just shown is then there for other clients (without a window manager, mapped at once).
void sync_with_display();

// The pixel size of a font of `points`, and its face.
int font_pixels(double points);
Fl_Font font_face(const FontStyle& font);

// A caption with no box of its own.
class Caption : public Fl_Widget {
 public:
  Caption(int x, int y, int w, int h, std::string text, Fl_Align align)
      : Fl_Widget(x, y, w, h), text_(std::move(text)), align_(align) {}
  void draw() override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  Fl_Align align_;
};

// A lamp of the status board: a round light of the shape's fill colour.
class Lamp : public Fl_Widget {
 public:
  Lamp(int x, int y, int w, int h, Fl_Color fill) : Fl_Widget(x, y, w, h) { color(fill); }
  void draw() override;
};

// A frame: an engraved rectangle with its caption set into the upper edge.
class Frame : public Fl_Group {
 public:
  Frame(int x, int y, int w, int h, std::string caption, Fl_Font face, int size)
      : Fl_Group(x, y, w, h), caption_(std::move(caption)), face_(face), size_(size) {
    box(FL_NO_BOX);
  }
  void draw() override;
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
  PictureButton(int x, int y, int w, int h, std::string caption);
  int handle(int event) override;

 private:
  std::string caption_;
};

// A one-line text box. Enter in it does nothing at all (the toolkit would otherwise move the
// focus on).
class TextBox : public Fl_Input {
 public:
  using Fl_Input::Fl_Input;
  int handle(int event) override;
};

// The message box: text, an OK button, nothing else.
class MessageBox : public Fl_Double_Window {
 public:
  explicit MessageBox(const std::string& text);
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

}  // namespace qano::fltk
