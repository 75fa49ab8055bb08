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

struct Placed {
  std::string name;
  TwipsRect rect;
  std::string caption;
};

TEST(Layout, ControlsThatCarryBehaviour) {
  const ControlLayout& command1 = *find("Command1");
  EXPECT_EQ(command1.kind, ControlKind::command_button);
  EXPECT_EQ(command1.rect, (TwipsRect{120, 6720, 8655, 1095}));
  EXPECT_EQ(command1.caption, "Uscita");
  EXPECT_TRUE(command1.handled);

  const ControlLayout& frame1 = *find("Frame1");
  EXPECT_EQ(frame1.rect, (TwipsRect{120, 120, 5295, 6495}));
  EXPECT_EQ(frame1.caption, "Numero Pos");
  EXPECT_EQ(frame1.font, (FontStyle{"MS Sans Serif", 9.75, true}));

  const ControlLayout& nrposw = *find("nrposw");
  EXPECT_EQ(nrposw.kind, ControlKind::text_box);
  EXPECT_EQ(nrposw.rect, (TwipsRect{240, 840, 975, 405}));
  EXPECT_EQ(nrposw.caption, "");
  EXPECT_EQ(nrposw.font, (FontStyle{"MS Sans Serif", 12, false}));

  EXPECT_EQ(find("Drive1")->rect, (TwipsRect{720, 600, 735, 315}));

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

TEST(Layout, StatusBoard) {
  struct Row {
    int left, top, width, num_top, pun_top;
  };
  const Row rows[10] = {
      {1680, 480, 495, 480, 720},    {1680, 1080, 495, 1080, 1320}, {1680, 1680, 495, 1680, 1920},
      {1680, 2280, 495, 2280, 2520}, {1680, 2880, 495, 2880, 3120}, {1680, 3480, 495, 3600, 3840},
      {1680, 4080, 525, 4200, 4440}, {1560, 4680, 735, 4800, 5040}, {1560, 5280, 735, 5400, 5640},
      {1560, 5880, 735, 6000, 6240},
  };
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const Row& row = rows[i - 1];
    const ControlLayout& lamp = *find("c1", i);
    EXPECT_EQ(lamp.kind, ControlKind::shape);
    EXPECT_EQ(lamp.rect, (TwipsRect{row.left, row.top, row.width, 405}));
    EXPECT_EQ(lamp.fill, (Rgb{224, 224, 224}));

    const ControlLayout& label = *find("Label" + std::to_string(i));
    EXPECT_EQ(label.rect, (TwipsRect{1800, 600 * i, 255, 255}));
    EXPECT_EQ(label.caption, std::to_string(i));
    EXPECT_EQ(label.font, (FontStyle{"MS Sans Serif", 8.25, true}));
    // The number sits inside its lamp.
    EXPECT_GE(label.rect->left, lamp.rect->left);
    EXPECT_GE(label.rect->top, lamp.rect->top);
    EXPECT_LE(label.rect->left + label.rect->width, lamp.rect->left + lamp.rect->width);
    EXPECT_LE(label.rect->top + label.rect->height, lamp.rect->top + lamp.rect->height);

    const ControlLayout& num = *find("num", i);
    EXPECT_EQ(num.rect, (TwipsRect{2280, row.num_top, 630, 195}));
    EXPECT_EQ(num.caption, "0000000");
    EXPECT_EQ(num.font, kDefault);
    const ControlLayout& pun = *find("pun", i);
    EXPECT_EQ(pun.rect, (TwipsRect{2280, row.pun_top, 630, 195}));
    EXPECT_EQ(pun.caption, "0000000");
    EXPECT_EQ(pun.font, kDefault);
  }
}

TEST(Layout, DataControls) {
  const Placed table[] = {
      {"codean2", {720, 4560, 1140, 345}, "Data3"},
      {"punti", {6600, 1560, 1140, 375}, "Data3"},
      {"codean", {360, 5160, 1140, 345}, "Data3"},
      {"clienti2", {6600, 4080, 1140, 375}, "Data4"},
      {"var2", {6600, 4560, 1140, 375}, "Data3"},
      {"listi01", {120, 6000, 1140, 375}, "Data2"},
      {"var", {6720, 2760, 1140, 300}, "Data3"},
      {"variab2", {3600, 5760, 1140, 300}, "Data3"},
      {"ivadb", {3480, 5280, 1140, 300}, "Data3"},
      {"variab", {3480, 4800, 1140, 375}, "Data3"},
      {"vente", {3480, 4200, 1140, 375}, "Data3"},
      {"vendite", {3480, 3600, 1140, 300}, "Data3"},
      {"scontrini", {3480, 3000, 1140, 375}, "Data3"},
      {"numeri", {360, 4200, 1140, 300}, "Data3"},
      {"fatmoCassa", {360, 1920, 1140, 345}, "Data3"},
      {"fatmo", {240, 3360, 1140, 345}, "Data3"},
      {"fatteCassa", {360, 2400, 1140, 345}, "Data3"},
      {"fatte", {360, 2880, 1140, 300}, "Data3"},
      {"carteTX", {240, 3840, 1140, 300}, "Data3"},
      {"Data2", {1080, 5640, 1140, 375}, "Data3"},
      {"Data1", {120, 5640, 1140, 375}, "Data1"},
      {"caselle", {2160, 5640, 1215, 375}, "Data4"},
      {"articoli", {3480, 5760, 1215, 375}, "Data2"},
      {"Semafori", {3360, 5640, 1140, 375}, "Data2"},
  };
  for (const Placed& p : table) {
    SCOPED_TRACE(p.name);
    const ControlLayout* c = find(p.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, ControlKind::data);
    EXPECT_EQ(c->rect, p.rect);
    EXPECT_EQ(c->caption, p.caption);
    EXPECT_EQ(c->connect, "Access 2000;");
    EXPECT_FALSE(c->handled);
    EXPECT_FALSE(c->tab_index.has_value());
  }
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
