// The window hosts' event policy on a host without a toolkit: its events are a queue of names;
// its loop hands on every one, also those queued before the run ended, as a toolkit dispatches
// what waits; its message box is a loop of its own over the same queue, as a toolkit's modal box
// is. What each toolkit does at the end of a run (timers, windows, boxes) and
// how its real input arrives is tested with that host.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/support/event_dispatch.h"
#include "tests/support/window_recorder.h"

namespace qano {
namespace {

class FakeHost : public WindowHost {
 public:
  // Ending the run closes the window and any box that waits, as the toolkits' hosts do.
  EventDispatch dispatch{[this] {
    ended = true;
    box_open = false;
  }};
  std::deque<std::string> queue;
  bool ended = false;
  bool box_open = false;
  bool shown = false;

  void create(WindowEvents& events, DriveListContents) { dispatch.attach(events); }
  void show() { shown = dispatch.running(); }
  void run() {
    while (!queue.empty()) step();
    dispatch.rethrow_failure();
  }
  void unload() override { dispatch.unload(); }
  void message_box(const std::string&) {
    box_open = true;
    while (box_open && !queue.empty()) step();
    box_open = false;
    dispatch.rethrow_failure();
  }
  void failure_box(const std::string& text) { message_box(text); }

  void step() {
    std::string event = queue.front();
    queue.pop_front();
    if (event == "ok") {
      box_open = false;
    } else if (event == "click") {
      dispatch.click("Command1");
    } else if (event == "close") {
      dispatch.close();
    } else if (event == "fault") {  // drawing or a toolkit's callback failed
      dispatch.fail(std::make_exception_ptr(Failure(failure::kOutOfMemory, "Out of memory")));
    } else {
      dispatch.tick(event);  // Timer2; Faulty fails; Boxing shows a box
    }
  }
};

static_assert(ProgramHost<FakeHost>);

struct Case {
  const char* name;
  bool box_first;  // a message box waits before the window shows, as start-up's does
  std::vector<std::string> queue;
  std::vector<std::string> delivered;
  int box_failure;  // the number thrown from the box (0: none)
  int run_failure;  // the number thrown from run()
  bool unloaded;
  bool ended;
  bool shown;
  bool fail_on_unload = false;
  bool cancel_unload = false;
};

const Case kCases[] = {
    {"ticks until a close request",
     false,
     {"Timer2", "Timer2", "close", "Timer2"},
     {"tick Timer2", "tick Timer2", "unload"},
     0,
     0,
     true,
     true,
     true},
    {"a click that unloads",
     false,
     {"click", "Timer2"},
     {"click Command1", "unload"},
     0,
     0,
     true,
     true,
     true},
    {"a failing tick ends the run: no tick, click or close after it",
     false,
     {"Timer2", "Faulty", "Timer2", "click", "close"},
     {"tick Timer2", "tick Faulty"},
     0,
     53,
     false,
     true,
     true},
    {"a failing unload comes through",
     false,
     {"close", "Timer2"},
     {"unload"},
     0,
     75,
     false,
     true,
     true,
     true},
    {"a second close request does nothing",
     false,
     {"close", "close"},
     {"unload"},
     0,
     0,
     true,
     true,
     true},
    {"a failure outside a handler ends the run",
     false,
     {"Timer2", "fault", "Timer2"},
     {"tick Timer2"},
     0,
     7,
     false,
     true,
     true},
    {"a cancelled unload keeps the window",
     false,
     {"close", "Timer2"},
     {"unload", "tick Timer2"},
     0,
     0,
     false,
     false,
     true,
     false,
     true},
    {"ticks go on while the box waits",
     true,
     {"Timer2", "Timer2", "ok", "Timer2", "close"},
     {"tick Timer2", "tick Timer2", "tick Timer2", "unload"},
     0,
     0,
     true,
     true,
     true},
    {"a failing tick closes the box and comes out of it",
     true,
     {"Timer2", "Faulty", "Timer2"},
     {"tick Timer2", "tick Faulty"},
     53,
     0,
     false,
     true,
     false},
    {"an unload while the box waits closes it and the window never shows",
     true,
     {"close", "Timer2"},
     {"unload"},
     0,
     0,
     true,
     true,
     false},
    {"a tick inside a tick's box: its failure ends the run once",
     false,
     {"Boxing", "Timer2", "Faulty", "Timer2"},
     {"tick Boxing", "tick Timer2", "tick Faulty"},
     0,
     53,
     false,
     true,
     true},
};

int failure_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

TEST(EventDispatch, DeliversAndEndsTheRunAsTheHostsDo) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    testing::WindowRecorder recorder;
    recorder.host = &host;
    recorder.fail_on_unload = c.fail_on_unload;
    recorder.cancel_unload = c.cancel_unload;
    recorder.on_tick = [&] {
      if (recorder.events.back() == "tick Faulty") fail(failure::kFileNotFound);
      if (recorder.events.back() == "tick Boxing") host.message_box("inner");
    };
    host.queue.assign(c.queue.begin(), c.queue.end());
    host.create(recorder, {});

    int box_failure = c.box_first ? failure_of([&] { host.message_box("waiting"); }) : 0;
    int run_failure = 0;
    if (box_failure == 0) {
      host.show();
      run_failure = failure_of([&] { host.run(); });
    }
    EXPECT_EQ(box_failure, c.box_failure);
    EXPECT_EQ(run_failure, c.run_failure);
    EXPECT_EQ(recorder.events, c.delivered);
    EXPECT_EQ(host.dispatch.unloaded(), c.unloaded);
    EXPECT_EQ(host.ended, c.ended);
    EXPECT_EQ(host.shown, c.shown);
    EXPECT_FALSE(host.box_open);

    // The failure that ended the run has come out once.
    if (c.box_failure == 0) {
      EXPECT_EQ(failure_of([&] { host.run(); }), 0);
    }
  }
}

TEST(EventDispatch, NothingIsDeliveredBeforeCreate) {
  FakeHost host;
  host.queue = {"Timer2", "click", "close"};
  host.run();
  host.unload();
  testing::WindowRecorder recorder;
  recorder.host = &host;
  host.create(recorder, {});
  host.queue = {"Timer2"};
  host.run();
  EXPECT_EQ(recorder.events, std::vector<std::string>{"tick Timer2"});
}

}  // namespace
}  // namespace qano
