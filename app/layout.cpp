#include "app/layout.h"

#include <string>

namespace qano {

namespace {

constexpr const char* kSansSerif = "MS Sans Serif";
const FontStyle kDefaultFont{kSansSerif, 8.25, false};
const FontStyle kBoardNumberFont{kSansSerif, 8.25, true};
const FontStyle kFrameFont{kSansSerif, 9.75, true};
const FontStyle kTextBoxFont{kSansSerif, 12, false};
constexpr Rgb kLampGrey{224, 224, 224};
constexpr const char* kConnect = "Access 2000;";

ControlLayout control(std::string name, ControlKind kind, std::string container, TwipsRect rect) {
  ControlLayout c;
  c.name = std::move(name);
  c.kind = kind;
  c.container = std::move(container);
  c.rect = rect;
  return c;
}

ControlLayout data_control(std::string name, std::string container, TwipsRect rect,
                           std::string caption) {
  ControlLayout c = control(std::move(name), ControlKind::data, std::move(container), rect);
  c.caption = std::move(caption);
  c.font = kDefaultFont;
  c.connect = kConnect;
  return c;
}

ControlLayout timer(std::string name, std::string container, int interval_ms, bool handled) {
  ControlLayout c;
  c.name = std::move(name);
  c.kind = ControlKind::timer;
  c.container = std::move(container);
  c.interval_ms = interval_ms;
  c.handled = handled;
  return c;
}

ControlLayout menu(std::string name, std::string container, std::string caption) {
  ControlLayout c;
  c.name = std::move(name);
  c.kind = ControlKind::menu;
  c.container = std::move(container);
  c.caption = std::move(caption);
  return c;
}

// One row of the status board: the lamp's rectangle and the tops of its two counters.
struct BoardRow {
  int lamp_left;
  int lamp_top;
  int lamp_width;
  int num_top;
  int pun_top;
};

constexpr BoardRow kBoard[10] = {
    {1680, 480, 495, 480, 720},    {1680, 1080, 495, 1080, 1320}, {1680, 1680, 495, 1680, 1920},
    {1680, 2280, 495, 2280, 2520}, {1680, 2880, 495, 2880, 3120}, {1680, 3480, 495, 3600, 3840},
    {1680, 4080, 525, 4200, 4440}, {1560, 4680, 735, 4800, 5040}, {1560, 5280, 735, 5400, 5640},
    {1560, 5880, 735, 6000, 6240},
};
constexpr int kLampHeight = 405;
constexpr int kCounterLeft = 2280;
constexpr int kCounterWidth = 630;
constexpr int kCounterHeight = 195;
constexpr const char* kCounterCaption = "0000000";

WindowLayout build() {
  WindowLayout w;
  w.title = "B";
  w.client_width = 8880;
  w.client_height = 7965;
  auto& cs = w.controls;

  // The controls that take the focus come first, in tab order.
  ControlLayout command1 =
      control("Command1", ControlKind::command_button, "", {120, 6720, 8655, 1095});
  command1.caption = "Uscita";
  command1.font = kDefaultFont;
  command1.tab_index = 0;
  command1.handled = true;
  cs.push_back(command1);

  ControlLayout frame1 = control("Frame1", ControlKind::frame, "", {120, 120, 5295, 6495});
  frame1.caption = "Numero Pos";
  frame1.font = kFrameFont;
  frame1.tab_index = 1;
  cs.push_back(frame1);

  ControlLayout nrposw = control("nrposw", ControlKind::text_box, "Frame1", {240, 840, 975, 405});
  nrposw.font = kTextBoxFont;
  nrposw.tab_index = 2;
  cs.push_back(nrposw);

  // The status board: a lamp, its number, and two counters in each of ten rows.
  for (int i = 1; i <= 10; ++i) {
    const BoardRow& row = kBoard[i - 1];
    ControlLayout lamp = control("c1", ControlKind::shape, "Frame1",
                                 {row.lamp_left, row.lamp_top, row.lamp_width, kLampHeight});
    lamp.index = i;
    lamp.fill = kLampGrey;
    cs.push_back(lamp);
  }
  for (int i = 1; i <= 10; ++i) {
    ControlLayout label = control("Label" + std::to_string(i), ControlKind::label, "Frame1",
                                  {1800, 600 * i, 255, 255});
    label.caption = std::to_string(i);
    label.font = kBoardNumberFont;
    label.tab_index = 23 + i;
    cs.push_back(label);
  }
  // The two columns of counters, num and pun, one element per board row.
  auto counters = [&cs](const char* name, int BoardRow::*top, int (*tab_index)(int)) {
    for (int i = 1; i <= 10; ++i) {
      ControlLayout counter =
          control(name, ControlKind::label, "Frame1",
                  {kCounterLeft, kBoard[i - 1].*top, kCounterWidth, kCounterHeight});
      counter.index = i;
      counter.caption = kCounterCaption;
      counter.font = kDefaultFont;
      counter.tab_index = tab_index(i);
      cs.push_back(counter);
    }
  };
  counters("num", &BoardRow::num_top, [](int i) { return 14 - i; });  // num(10) is 4, num(1) is 13
  counters("pun", &BoardRow::pun_top, [](int i) { return 13 + i; });  // pun(1) is 14, pun(10) is 23

  // The drive list lies on the window, over the frame's upper left corner.
  ControlLayout drive1 = control("Drive1", ControlKind::drive_list, "", {720, 600, 735, 315});
  drive1.font = kDefaultFont;
  drive1.tab_index = 3;
  cs.push_back(drive1);

  // The data controls: only var is ever bound.
  cs.push_back(data_control("codean2", "", {720, 4560, 1140, 345}, "Data3"));
  cs.push_back(data_control("punti", "", {6600, 1560, 1140, 375}, "Data3"));
  cs.push_back(data_control("codean", "", {360, 5160, 1140, 345}, "Data3"));
  cs.push_back(data_control("clienti2", "", {6600, 4080, 1140, 375}, "Data4"));
  cs.push_back(data_control("var2", "", {6600, 4560, 1140, 375}, "Data3"));
  cs.push_back(data_control("listi01", "", {120, 6000, 1140, 375}, "Data2"));
  cs.push_back(data_control("var", "", {6720, 2760, 1140, 300}, "Data3"));
  cs.push_back(data_control("variab2", "Frame1", {3600, 5760, 1140, 300}, "Data3"));
  cs.push_back(data_control("ivadb", "Frame1", {3480, 5280, 1140, 300}, "Data3"));
  cs.push_back(data_control("variab", "Frame1", {3480, 4800, 1140, 375}, "Data3"));
  cs.push_back(data_control("vente", "Frame1", {3480, 4200, 1140, 375}, "Data3"));
  cs.push_back(data_control("vendite", "Frame1", {3480, 3600, 1140, 300}, "Data3"));
  cs.push_back(data_control("scontrini", "Frame1", {3480, 3000, 1140, 375}, "Data3"));
  cs.push_back(data_control("numeri", "Frame1", {360, 4200, 1140, 300}, "Data3"));
  cs.push_back(data_control("fatmoCassa", "Frame1", {360, 1920, 1140, 345}, "Data3"));
  cs.push_back(data_control("fatmo", "Frame1", {240, 3360, 1140, 345}, "Data3"));
  cs.push_back(data_control("fatteCassa", "Frame1", {360, 2400, 1140, 345}, "Data3"));
  cs.push_back(data_control("fatte", "Frame1", {360, 2880, 1140, 300}, "Data3"));
  cs.push_back(data_control("carteTX", "Frame1", {240, 3840, 1140, 300}, "Data3"));
  cs.push_back(data_control("Data2", "", {1080, 5640, 1140, 375}, "Data3"));
  cs.push_back(data_control("Data1", "", {120, 5640, 1140, 375}, "Data1"));
  cs.push_back(data_control("caselle", "", {2160, 5640, 1215, 375}, "Data4"));
  cs.push_back(data_control("articoli", "", {3480, 5760, 1215, 375}, "Data2"));
  cs.push_back(data_control("Semafori", "", {3360, 5640, 1140, 375}, "Data2"));

  cs.push_back(timer("Timer1", "Frame1", 1000, false));
  cs.push_back(timer("Timer2", "", 5000, true));

  ControlLayout ftp;
  ftp.name = "ftp";
  ftp.kind = ControlKind::ftp_client;
  cs.push_back(ftp);

  cs.push_back(menu("mPopupSys", "", "&SysTray    "));
  cs.push_back(menu("mPopRestore", "mPopupSys", "&Restore    "));
  cs.push_back(menu("mPopExit", "mPopupSys", "&Exit    "));
  return w;
}

}  // namespace

const WindowLayout& form1_layout() {
  static const WindowLayout layout = build();
  return layout;
}

}  // namespace qano
