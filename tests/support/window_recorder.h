// The window's events as a test of a window host sees them; a click unloads the window as the
// program's does. A test may make the unload fail or cancel it, and act on a tick.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/window.h"

namespace qano::testing {

struct WindowRecorder : WindowEvents {
  WindowHost* host = nullptr;
  std::vector<std::string> events;
  std::function<void()> on_tick;
  bool fail_on_unload = false;
  bool cancel_unload = false;

  void load() override { events.push_back("load"); }
  void unload(bool& cancel) override {
    events.push_back("unload");
    if (fail_on_unload) fail(failure::kPathFileAccessError);
    cancel = cancel_unload;
  }
  void click(const std::string& control) override {
    events.push_back("click " + control);
    host->unload();
  }
  void tick(const std::string& timer) override {
    events.push_back("tick " + timer);
    if (on_tick) on_tick();
  }
  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
};

}  // namespace qano::testing
