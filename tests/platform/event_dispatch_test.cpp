// The window hosts' event policy on a host without a toolkit: its events are a queue of names;
// its loop hands on every one, also those queued before the run ended, as a toolkit dispatches
// what waits; its message box is a loop of its own over the same queue, as a toolkit's modal box
// is. What each toolkit does at the end of a run (timers, windows, boxes) and
// how its real input arrives is tested with that host.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/support/hosts/event_dispatch.h"
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
static_assert(!ProgramHost<testing::WindowRecorder>, "events are no host");

// Every field a string, so that a case reads as one line: the words of `setup` and `outcome`
// are flags, `queue` the events in turn, `delivered` what the handlers saw, split at "|".
struct Case {
  const char* name;
  const char* setup;  // box_first: a box waits before the window shows, as start-up's does
  const char* queue;
  const char* delivered;
  const char* box_failure;  // thrown from that box: "number text", "" for none
  const char* run_failure;  // thrown from run()
  const char* outcome;      // unloaded, ended (the host's end of the run came), shown
};

const Case kCases[] = {
    {"ticks until a close request", "", "Timer2 Timer2 close Timer2",
     "tick Timer2|tick Timer2|unload", "", "", "unloaded ended shown"},
    {"a click that unloads", "", "click Timer2", "click Command1|unload", "", "",
     "unloaded ended shown"},
    {"a failing tick ends the run: no tick, click or close after it", "",
     "Timer2 Faulty Timer2 click close", "tick Timer2|tick Faulty", "", "53 File not found",
     "ended shown"},
    {"a failing unload comes through", "fail_on_unload", "close Timer2", "unload", "",
     "75 Path/File access error", "ended shown"},
    {"a second close request does nothing", "", "close close", "unload", "", "",
     "unloaded ended shown"},
    {"a failure outside a handler ends the run", "", "Timer2 fault Timer2", "tick Timer2", "",
     "7 Out of memory", "ended shown"},
    {"a cancelled unload keeps the window", "cancel_unload", "close Timer2", "unload|tick Timer2",
     "", "", "shown"},
    {"ticks go on while the box waits", "box_first", "Timer2 Timer2 ok Timer2 close",
     "tick Timer2|tick Timer2|tick Timer2|unload", "", "", "unloaded ended shown"},
    {"a failing tick closes the box and comes out of it", "box_first", "Timer2 Faulty Timer2",
     "tick Timer2|tick Faulty", "53 File not found", "", "ended"},
    {"an unload while the box waits closes it and the window never shows", "box_first",
     "close Timer2", "unload", "", "", "unloaded ended"},
    {"a tick inside a tick's box: its failure ends the run once", "", "Boxing Timer2 Faulty Timer2",
     "tick Boxing|tick Timer2|tick Faulty", "", "53 File not found", "ended shown"},
};

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

bool has(const char* words, const std::string& word) {
  std::vector<std::string> all = split(words, ' ');
  return std::find(all.begin(), all.end(), word) != all.end();
}

// The failure that `step` throws, as "number text"; "" when it throws none.
std::string failure_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const Failure& f) {
    return f.what();
  }
  return "";
}

TEST(EventDispatch, DeliversAndEndsTheRunAsTheHostsDo) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    testing::WindowRecorder recorder;
    recorder.host = &host;
    recorder.fail_on_unload = has(c.setup, "fail_on_unload");
    recorder.cancel_unload = has(c.setup, "cancel_unload");
    recorder.on_tick = [&] {
      if (recorder.events.back() == "tick Faulty") fail(failure::kFileNotFound);
      if (recorder.events.back() == "tick Boxing") host.message_box("inner");
    };
    std::vector<std::string> queue = split(c.queue, ' ');
    host.queue.assign(queue.begin(), queue.end());
    host.create(recorder, {});

    std::string box_failure =
        has(c.setup, "box_first") ? failure_of([&] { host.message_box("waiting"); }) : "";
    std::string run_failure;
    if (box_failure.empty()) {
      host.show();
      run_failure = failure_of([&] { host.run(); });
    }
    EXPECT_EQ(box_failure, c.box_failure);
    EXPECT_EQ(run_failure, c.run_failure);
    EXPECT_EQ(recorder.events, split(c.delivered, '|'));
    EXPECT_EQ(host.dispatch.unloaded(), has(c.outcome, "unloaded"));
    EXPECT_EQ(host.ended, has(c.outcome, "ended"));
    EXPECT_EQ(host.shown, has(c.outcome, "shown"));
    EXPECT_FALSE(host.box_open);

    // The failure that ended the run has come out once.
    if (box_failure.empty()) {
      EXPECT_EQ(failure_of([&] { host.run(); }), "");
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
