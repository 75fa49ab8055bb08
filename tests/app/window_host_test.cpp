// The FLTK window host on a virtual display of its own: the window it builds from the layout,
// the keys, the mouse, a close request and the end of the session, its timers, its message box,
// and failures raised by the window's handlers.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "app/layout.h"
#include "platform/failure.h"
#include "platform/fltk/fltk_host.h"
#include "platform/pictures/pictures.h"
#include "tests/support/fltk_host_for_testing.h"
#include "tests/support/window_recorder.h"
#include "tools/dev/kit/x11_client.h"
#include "tools/dev/kit/xvfb.h"

namespace qano {
namespace {

using testing::run_command;
using Recorder = testing::WindowRecorder;
using testing::Xvfb;

// One virtual display for this test program (each test runs in a program of its own).
Xvfb* g_xvfb = nullptr;

class DisplayEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    xvfb_ = std::make_unique<Xvfb>();
    g_xvfb = xvfb_.get();
    ::setenv("DISPLAY", xvfb_->display().c_str(), 1);
  }
  void TearDown() override {
    g_xvfb = nullptr;
    xvfb_.reset();
  }

 private:
  std::unique_ptr<Xvfb> xvfb_;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

class WindowHostTest : public ::testing::Test {
 protected:
  void open(const WindowLayout& layout = form1_layout()) {
    host = std::make_unique<FltkHost>(layout);
    recorder.host = host.get();
    host->create(recorder, DriveListContents{{"c:", "d:", "z:"}, "d:"});
  }
  FltkHostForTesting look() const { return FltkHostForTesting(*host); }
  void show() {
    host->show();
    ASSERT_NE(look().x_window(), 0u);
  }
  std::string xid() const { return std::to_string(look().x_window()); }
  void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    ASSERT_TRUE(run_command(g_xvfb->display(), args).ok) << args[1];
  }
  void focus_window() { xdotool({"windowfocus", "--sync", xid()}); }
  // Presses a key in an open message box; should that fail, closes the box all the same, so that
  // the test ends instead of waiting for ever.
  void press_in_box(unsigned long box, const std::string& key) {
    bool pressed =
        run_command(g_xvfb->display(), {"xdotool", "windowfocus", "--sync", std::to_string(box)})
            .ok &&
        run_command(g_xvfb->display(), {"xdotool", "key", key}).ok;
    if (!pressed) {
      ADD_FAILURE() << "could not press " << key << " in the message box";
      testing::send_close_request(g_xvfb->display(), box);
    }
  }
  // Handles events until `done` holds, for at most `seconds`.
  bool pump_until(const std::function<bool()>& done, double seconds = 10) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) look().run_for(0.02);
    return done();
  }
  static WindowLayout fast_timer_layout() {
    WindowLayout layout = form1_layout();
    for (ControlLayout& c : layout.controls) {
      if (c.name == "Timer2") c.interval_ms = 50;
    }
    return layout;
  }

  Recorder recorder;
  std::unique_ptr<FltkHost> host;
};

struct ExpectedWidget {
  std::string name;
  int index;
  int x, y, width, height;
  std::string label;
  int font_size;
  bool bold;
};

TEST_F(WindowHostTest, RendersTheLayoutAtFifteenTwipsPerPixel) {
  open();
  show();
  EXPECT_EQ(look().client_width(), 592);
  EXPECT_EQ(look().client_height(), 531);
  testing::WindowFacts window = testing::window_facts(g_xvfb->display(), look().x_window());
  EXPECT_EQ(window.title, "B");
  EXPECT_EQ(window.width, 592);
  EXPECT_EQ(window.height, 531);
  EXPECT_TRUE(window.mapped);
  EXPECT_EQ(window.icon_width, 32);
  EXPECT_EQ(window.icon_height, 32);

  // Controls in the frame are placed from the frame's corner (8, 8).
  const ExpectedWidget expected[] = {
      {"Command1", 0, 8, 448, 577, 73, "Uscita", 11, false},
      {"Frame1", 0, 8, 8, 353, 433, "Numero Pos", 13, true},
      {"nrposw", 0, 24, 64, 65, 27, "", 16, false},
      {"Drive1", 0, 48, 40, 49, 21, "d:", 11, false},
      {"Label1", 0, 128, 48, 17, 17, "1", 11, true},
      {"Label10", 0, 128, 408, 17, 17, "10", 11, true},
      {"c1", 1, 120, 40, 33, 27, "", 14, false},
      {"c1", 8, 112, 320, 49, 27, "", 14, false},
      {"num", 1, 160, 40, 42, 13, "0000000", 11, false},
      {"num", 6, 160, 248, 42, 13, "0000000", 11, false},
      {"pun", 10, 160, 424, 42, 13, "0000000", 11, false},
  };
  for (const ExpectedWidget& e : expected) {
    SCOPED_TRACE(e.name + "(" + std::to_string(e.index) + ")");
    std::optional<WidgetFacts> f = look().facts(e.name, e.index);
    ASSERT_TRUE(f.has_value());
    EXPECT_TRUE(f->visible);
    EXPECT_EQ(f->x, e.x);
    EXPECT_EQ(f->y, e.y);
    EXPECT_EQ(f->width, e.width);
    EXPECT_EQ(f->height, e.height);
    if (e.name != "c1") {
      EXPECT_EQ(f->label, e.label);
      EXPECT_EQ(f->font_size, e.font_size);
      EXPECT_EQ(f->bold, e.bold);
    }
  }
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(look().facts("c1", i)->colour, (Rgb{224, 224, 224})) << i;
    EXPECT_EQ(look().facts("num", i)->label, "0000000");
    EXPECT_EQ(look().facts("pun", i)->label, "0000000");
    EXPECT_EQ(look().facts("Label" + std::to_string(i))->label, std::to_string(i));
  }
  EXPECT_TRUE(look().facts("Command1")->has_image);
}

TEST_F(WindowHostTest, ShowsNeitherDataControlsNorMenuNorInvisibleComponents) {
  open();
  show();
  for (const ControlLayout& c : form1_layout().controls) {
    bool shown = c.kind != ControlKind::data && c.kind != ControlKind::timer &&
                 c.kind != ControlKind::ftp_client && c.kind != ControlKind::menu;
    EXPECT_EQ(look().facts(c.name, c.index).has_value(), shown) << c.name;
  }
  EXPECT_FALSE(look().has_menu_bar());
  EXPECT_EQ(look().client_height(), 531) << "no menu bar takes room from the client area";
}

TEST_F(WindowHostTest, OnlyTimer2RunsEveryFiveSeconds) {
  open();
  using Timers = std::vector<std::pair<std::string, double>>;
  EXPECT_EQ(look().timers(), (Timers{{"Timer2", 5.0}})) << "running from creation, before show";
  show();
  host->unload();
  EXPECT_EQ(look().timers(), Timers{});
}

TEST_F(WindowHostTest, TicksReachTheHandlerUntilUnload) {
  open(fast_timer_layout());
  show();
  ASSERT_TRUE(pump_until([&] { return recorder.count("tick Timer2") >= 3; }));
  host->unload();
  int ticks = recorder.count("tick Timer2");
  look().run_for(0.2);
  EXPECT_EQ(recorder.count("tick Timer2"), ticks) << "no tick after the unload";
  EXPECT_EQ(recorder.count("tick Timer1"), 0);
}

// The loop is held up for more than ten periods before the window shows, as a slow start-up
// holds it: the missed ticks come as one, and the next ones keep the period's marks instead of
// catching up at once (FLTK's own repeat would run tick 2 straight after tick 1).
TEST_F(WindowHostTest, ALongStartUpDoesNotBringTheMissedTicksBackToBack) {
  using Clock = std::chrono::steady_clock;
  constexpr double kPeriod = 0.25;
  WindowLayout layout = form1_layout();
  for (ControlLayout& c : layout.controls) {
    if (c.name == "Timer2") c.interval_ms = static_cast<int>(kPeriod * 1000);
  }
  Clock::time_point created = Clock::now();
  open(layout);
  std::vector<double> at;  // seconds after creation
  recorder.on_tick = [&] {
    at.push_back(std::chrono::duration<double>(Clock::now() - created).count());
  };
  // The start-up: it ends just after the tenth period's mark, so the next mark is far off.
  std::this_thread::sleep_for(std::chrono::duration<double>(10.1 * kPeriod));
  show();
  ASSERT_TRUE(pump_until([&] { return !at.empty(); }));
  look().run_for(0.02);
  EXPECT_EQ(at.size(), 1u) << "a missed tick came straight after the first";
  ASSERT_TRUE(pump_until([&] { return at.size() >= 3; }));
  // A loaded machine can only make ticks later, never earlier than their marks.
  const double tolerance = 0.005;
  EXPECT_GE(at[1], 11 * kPeriod - tolerance);
  EXPECT_GE(at[2], 12 * kPeriod - tolerance);
}

TEST_F(WindowHostTest, FocusStartsOnUscitaAndTabCyclesThroughTheFocusableControls) {
  open();
  show();
  focus_window();
  ASSERT_TRUE(pump_until([&] { return look().focus() == "Command1"; }));
  std::vector<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    std::string before = look().focus();
    xdotool({"key", "Tab"});
    ASSERT_TRUE(pump_until([&] { return look().focus() != before; })) << "after " << before;
    seen.push_back(look().focus());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"nrposw", "Drive1", "Command1"}));
  EXPECT_FALSE(look().unloaded());
}

TEST_F(WindowHostTest, SpaceOrEnterOnUscitaUnloads) {
  for (const char* key : {"space", "Return", "KP_Enter"}) {
    SCOPED_TRACE(key);
    recorder.events.clear();
    open();
    show();
    focus_window();
    xdotool({"key", key});
    ASSERT_TRUE(pump_until([&] { return look().unloaded(); }));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"click Command1", "unload"}));
    host.reset();
  }
}

TEST_F(WindowHostTest, EscAndEnterInTheTextBoxDoNothing) {
  open();
  show();
  focus_window();
  // Esc, then Tab: once the focus has moved, Esc has been handled too.
  xdotool({"key", "Escape", "Tab"});
  ASSERT_TRUE(pump_until([&] { return look().focus() == "nrposw"; }));
  // Enter and Esc in the text box leave the focus there: the "a" typed after them lands in it.
  xdotool({"key", "Return", "KP_Enter", "Escape", "a", "Tab"});
  ASSERT_TRUE(pump_until([&] { return look().focus() == "Drive1"; }));
  EXPECT_EQ(look().facts("nrposw")->label, "a");
  EXPECT_FALSE(look().unloaded());
  EXPECT_EQ(recorder.events, std::vector<std::string>{});
}

TEST_F(WindowHostTest, AMouseClickOnUscitaUnloads) {
  open();
  show();
  xdotool({"mousemove", "--window", xid(), "300", "480", "click", "1"});
  ASSERT_TRUE(pump_until([&] { return look().unloaded(); }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"click Command1", "unload"}));
}

TEST_F(WindowHostTest, ACloseRequestUnloadsWithoutAClick) {
  open();
  show();
  ASSERT_TRUE(testing::send_close_request(g_xvfb->display(), look().x_window()));
  ASSERT_TRUE(pump_until([&] { return look().unloaded(); }));
  EXPECT_EQ(recorder.events, std::vector<std::string>{"unload"});
  host->run();  // returns at once: the window is gone
}

TEST_F(WindowHostTest, TheEndOfTheSessionUnloads) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    recorder.events.clear();
    open();
    show();
    ::raise(signal);
    host->run();
    EXPECT_TRUE(look().unloaded());
    EXPECT_EQ(recorder.events, std::vector<std::string>{"unload"});
    host.reset();
  }
}

// Which failure comes out, and that no event follows it: tests/platform/event_dispatch_test.cpp.
TEST_F(WindowHostTest, AFailureInATickClosesTheWindowAndStopsTheTimers) {
  open(fast_timer_layout());
  show();
  recorder.on_tick = [] { fail(failure::kFileNotFound); };
  EXPECT_THROW(host->run(), Failure);
  EXPECT_TRUE(look().timers().empty());
  EXPECT_EQ(look().x_window(), 0u) << "the window has closed";
}

TEST_F(WindowHostTest, MessageBoxShowsTheTextWithOkOnlyAndEnterDismissesIt) {
  open();
  std::optional<MessageBoxFacts> seen;
  look().post([&] {
    seen = look().open_message_box();
    ASSERT_TRUE(seen.has_value());
    press_in_box(seen->x_window, "Return");
  });
  host->message_box("ERRORE : FILE c:\\team\\super.mdb NON ESISTE ");
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->title, "qanocontrol");
  EXPECT_EQ(seen->text, "ERRORE : FILE c:\\team\\super.mdb NON ESISTE ");
  EXPECT_EQ(seen->buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(seen->has_icon);
  EXPECT_NE(seen->x_window, 0u);
  EXPECT_FALSE(look().open_message_box().has_value());
}

TEST_F(WindowHostTest, MessageBoxTextIsShownAsItIs) {
  open();
  std::string text = "50% @home & (a|b) <c> ^d !e";
  std::optional<MessageBoxFacts> seen;
  look().post([&] {
    seen = look().open_message_box();
    ASSERT_TRUE(seen.has_value());
    press_in_box(seen->x_window, "Escape");
  });
  host->message_box(text);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->text, text);
}

TEST_F(WindowHostTest, TicksGoOnWhileTheMessageBoxWaits) {
  open(fast_timer_layout());
  recorder.on_tick = [&] {
    if (recorder.count("tick Timer2") == 3) {
      std::optional<MessageBoxFacts> box = look().open_message_box();
      ASSERT_TRUE(box.has_value()) << "the box is still waiting";
      ASSERT_TRUE(testing::send_close_request(g_xvfb->display(), box->x_window));
    }
  };
  host->message_box("waiting");
  EXPECT_GE(recorder.count("tick Timer2"), 3);
  show();
  EXPECT_FALSE(look().unloaded());
}

TEST_F(WindowHostTest, AFailureInATickWhileTheMessageBoxWaitsClosesTheBox) {
  open(fast_timer_layout());
  recorder.on_tick = [] { fail(failure::kPathNotFound); };
  EXPECT_THROW(host->message_box("waiting"), Failure);
  EXPECT_FALSE(look().open_message_box().has_value());
}

TEST_F(WindowHostTest, TheEndOfTheSessionDuringTheMessageBoxClosesItAndTheWindowNeverShows) {
  open();
  look().post([&] { ::raise(SIGTERM); });
  host->message_box("waiting");
  EXPECT_EQ(recorder.events, std::vector<std::string>{"unload"});
  host->show();
  EXPECT_EQ(look().x_window(), 0u);
}

TEST(Pictures, IconAndButtonPictureSizesAndColours) {
  pictures::Picture icon = pictures::window_icon();
  EXPECT_EQ(icon.width, 32);
  EXPECT_EQ(icon.height, 32);
  EXPECT_EQ(icon.rgba.size(), 32u * 32u * 4u);
  EXPECT_LE(pictures::colour_count(icon), 256);
  EXPECT_GT(pictures::colour_count(icon), 4);
  for (int size : {32, 16}) {
    pictures::Picture door = pictures::exit_door(size);
    EXPECT_EQ(door.width, size);
    EXPECT_EQ(door.height, size);
    EXPECT_LE(pictures::colour_count(door), 16) << size;
    EXPECT_GT(pictures::colour_count(door), 3) << size;
  }
}

}  // namespace
}  // namespace qano
