// The window's layout against the window's design: every name, kind, container, place, caption,
// font, colour and tab index.
#include "app/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace qano {
namespace {

const ControlLayout* find(const std::string& name, int index = 0) {
  for (const ControlLayout& c : form1_layout().controls) {
    if (c.name == name && c.index == index) return &c;
  }
  return nullptr;
}

const FontStyle kDefault{"MS Sans Serif", 8.25, false};

TEST(Layout, WindowTitleAndClientArea) {
  EXPECT_EQ(form1_layout().title, "B");
  EXPECT_EQ(form1_layout().client_width, 8880);
  EXPECT_EQ(form1_layout().client_height, 7965);
  EXPECT_EQ(form1_layout().client_width / kTwipsPerPixel, 592);
  EXPECT_EQ(form1_layout().client_height / kTwipsPerPixel, 531);
}

TEST(Layout, FortySevenNamesByKind) {
  std::map<std::string, ControlKind> kinds;
  std::map<std::string, std::set<int>> indexes;
  for (const ControlLayout& c : form1_layout().controls) {
    auto [it, fresh] = kinds.emplace(c.name, c.kind);
    EXPECT_TRUE(fresh || it->second == c.kind) << c.name;
    EXPECT_TRUE(indexes[c.name].insert(c.index).second) << c.name << "(" << c.index << ") twice";
  }
  EXPECT_EQ(kinds.size(), 47u);
  std::map<ControlKind, int> by_kind;
  for (const auto& [name, kind] : kinds) ++by_kind[kind];
  EXPECT_EQ(by_kind[ControlKind::data], 24);
  EXPECT_EQ(by_kind[ControlKind::label], 12);  // Label1..Label10, num, pun
  EXPECT_EQ(by_kind[ControlKind::shape], 1);
  EXPECT_EQ(by_kind[ControlKind::text_box], 1);
  EXPECT_EQ(by_kind[ControlKind::frame], 1);
  EXPECT_EQ(by_kind[ControlKind::command_button], 1);
  EXPECT_EQ(by_kind[ControlKind::drive_list], 1);
  EXPECT_EQ(by_kind[ControlKind::timer], 2);
  EXPECT_EQ(by_kind[ControlKind::ftp_client], 1);
  EXPECT_EQ(by_kind[ControlKind::menu], 3);
  EXPECT_EQ(kinds.size() - by_kind[ControlKind::menu], 44u);

  for (const std::string array : {"pun", "num", "c1"}) {
    EXPECT_EQ(indexes[array], (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10})) << array;
  }
  for (const auto& [name, set] : indexes) {
    if (name != "pun" && name != "num" && name != "c1") {
      EXPECT_EQ(set, std::set<int>{0}) << name;
    }
  }
  const std::set<std::string> data = {
      "codean2",   "punti",   "codean",     "clienti2", "var2",       "listi01",
      "var",       "variab2", "ivadb",      "variab",   "vente",      "vendite",
      "scontrini", "numeri",  "fatmoCassa", "fatmo",    "fatteCassa", "fatte",
      "carteTX",   "Data2",   "Data1",      "caselle",  "articoli",   "Semafori"};
  for (const std::string& name : data) EXPECT_EQ(kinds[name], ControlKind::data) << name;
}

TEST(Layout, ContainersHoldWhatTheFrameHolds) {
  std::set<std::string> in_frame;
  for (const ControlLayout& c : form1_layout().controls) {
    if (c.container == "Frame1") in_frame.insert(c.name);
  }
  std::set<std::string> expected = {"variab2",   "ivadb",   "variab",     "vente",  "vendite",
                                    "scontrini", "numeri",  "fatmoCassa", "fatmo",  "fatteCassa",
                                    "fatte",     "carteTX", "Timer1",     "nrposw", "pun",
                                    "c1",        "num"};
  for (int i = 1; i <= 10; ++i) expected.insert("Label" + std::to_string(i));
  EXPECT_EQ(in_frame, expected);
  // Every element of the arrays lies in the frame.
  for (const ControlLayout& c : form1_layout().controls) {
    if (c.index != 0) {
      EXPECT_EQ(c.container, "Frame1") << c.name << c.index;
    }
  }
  EXPECT_EQ(find("mPopRestore")->container, "mPopupSys");
  EXPECT_EQ(find("mPopExit")->container, "mPopupSys");
  for (const std::string name :
       {"Command1", "Frame1", "Drive1", "var", "Timer2", "ftp", "mPopupSys", "Data1", "Semafori"}) {
    EXPECT_EQ(find(name)->container, "") << name;
  }
}

// Whether `inner` lies wholly inside `outer`.
bool inside(const TwipsRect& inner, const TwipsRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top &&
         inner.left + inner.width <= outer.left + outer.width &&
         inner.top + inner.height <= outer.top + outer.height;
}

bool overlap(const TwipsRect& a, const TwipsRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

// The area a control's place is measured in: the frame's own, or the client area.
TwipsRect area_of(const ControlLayout& c) {
  if (c.container == "Frame1")
    return TwipsRect{0, 0, find("Frame1")->rect->width, find("Frame1")->rect->height};
  return TwipsRect{0, 0, form1_layout().client_width, form1_layout().client_height};
}

TEST(Layout, ControlsThatCarryBehaviour) {
  const ControlLayout& command1 = *find("Command1");
  EXPECT_EQ(command1.kind, ControlKind::command_button);
  EXPECT_EQ(command1.caption, "Uscita");
  EXPECT_TRUE(command1.handled);

  const ControlLayout& frame1 = *find("Frame1");
  // The button runs under the frame, across the window.
  EXPECT_GE(command1.rect->top, frame1.rect->top + frame1.rect->height);
  EXPECT_GT(command1.rect->width, frame1.rect->width);
  EXPECT_EQ(frame1.caption, "Numero Pos");
  EXPECT_EQ(frame1.font, (FontStyle{"MS Sans Serif", 9.75, true}));

  const ControlLayout& nrposw = *find("nrposw");
  EXPECT_EQ(nrposw.kind, ControlKind::text_box);
  EXPECT_EQ(nrposw.caption, "");
  EXPECT_EQ(nrposw.font, (FontStyle{"MS Sans Serif", 12, false}));

  for (const ControlLayout* c : {&command1, &frame1, &nrposw, find("Drive1")}) {
    EXPECT_TRUE(inside(*c->rect, area_of(*c))) << c->name;
  }

  const ControlLayout& timer2 = *find("Timer2");
  EXPECT_EQ(timer2.interval_ms, 5000);
  EXPECT_TRUE(timer2.enabled);
  EXPECT_TRUE(timer2.handled);
  EXPECT_FALSE(timer2.rect.has_value());
  const ControlLayout& timer1 = *find("Timer1");
  EXPECT_EQ(timer1.interval_ms, 1000);
  EXPECT_TRUE(timer1.enabled);
  EXPECT_FALSE(timer1.handled);

  EXPECT_EQ(find("mPopupSys")->caption, "&SysTray    ");
  EXPECT_EQ(find("mPopRestore")->caption, "&Restore    ");
  EXPECT_EQ(find("mPopExit")->caption, "&Exit    ");

  // Exactly two events of controls are handled: the button's click and Timer2's tick.
  std::set<std::string> handled;
  for (const ControlLayout& c : form1_layout().controls) {
    if (c.handled) handled.insert(c.name);
  }
  EXPECT_EQ(handled, (std::set<std::string>{"Command1", "Timer2"}));
}

// Ten rows, top to bottom: a grey lamp with its number inside it, and beside it the row's two
// counters, one above the other, showing zeros. Nothing of the board leaves the frame.
TEST(Layout, StatusBoardRowsReadTopToBottom) {
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const ControlLayout& lamp = *find("c1", i);
    const ControlLayout& label = *find("Label" + std::to_string(i));
    const ControlLayout& num = *find("num", i);
    const ControlLayout& pun = *find("pun", i);
    EXPECT_EQ(lamp.kind, ControlKind::shape);
    EXPECT_EQ(lamp.fill, (Rgb{224, 224, 224}));
    EXPECT_EQ(label.caption, std::to_string(i));
    ASSERT_TRUE(label.font.has_value());
    EXPECT_TRUE(label.font->bold);
    EXPECT_TRUE(inside(*label.rect, *lamp.rect));
    for (const ControlLayout* counter : {&num, &pun}) {
      EXPECT_EQ(counter->caption, "0000000");
      EXPECT_EQ(counter->font, kDefault);
      // Beside the lamp: never over its number.
      EXPECT_GE(counter->rect->left, label.rect->left + label.rect->width);
      EXPECT_GT(counter->rect->left, lamp.rect->left + lamp.rect->width / 2);
    }
    EXPECT_GE(pun.rect->top, num.rect->top + num.rect->height);
    for (const ControlLayout* c : {&lamp, &label, &num, &pun}) {
      EXPECT_TRUE(inside(*c->rect, area_of(*c))) << c->name;
    }
    if (i < 10) {
      const ControlLayout& next = *find("c1", i + 1);
      EXPECT_GE(next.rect->top, lamp.rect->top + lamp.rect->height);
      EXPECT_FALSE(overlap(*find("pun", i)->rect, *find("num", i + 1)->rect));
    }
  }
}

// Two dozen bound data controls, each on the engine the program opens databases with, none with
// a handler or a place in the tab order, and none outside the window or its frame.
TEST(Layout, DataControlsStayInsideTheWindow) {
  int count = 0;
  for (const ControlLayout& c : form1_layout().controls) {
    if (c.kind != ControlKind::data) continue;
    SCOPED_TRACE(c.name);
    ++count;
    EXPECT_EQ(c.connect, "Access 2000;");
    EXPECT_FALSE(c.handled);
    EXPECT_FALSE(c.tab_index.has_value());
    EXPECT_EQ(c.caption.rfind("Data", 0), 0u) << c.caption;
    ASSERT_TRUE(c.rect.has_value());
    EXPECT_TRUE(inside(*c.rect, area_of(c)));
  }
  EXPECT_EQ(count, 24);
}

TEST(Layout, TabOrder) {
  std::vector<std::pair<int, std::string>> order;
  for (const ControlLayout& c : form1_layout().controls) {
    if (!c.tab_index) continue;
    order.emplace_back(*c.tab_index,
                       c.index ? c.name + "(" + std::to_string(c.index) + ")" : c.name);
  }
  std::sort(order.begin(), order.end());
  std::vector<std::string> names;
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(order[i].first, static_cast<int>(i)) << "tab indexes run 0, 1, 2, ... without gaps";
    names.push_back(order[i].second);
  }
  std::vector<std::string> expected = {"Command1", "Frame1", "nrposw", "Drive1"};
  for (int i = 10; i >= 1; --i) expected.push_back("num(" + std::to_string(i) + ")");
  for (int i = 1; i <= 10; ++i) expected.push_back("pun(" + std::to_string(i) + ")");
  for (int i = 1; i <= 10; ++i) expected.push_back("Label" + std::to_string(i));
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace qano
