// How a window host hands the window's events to WindowEvents, the same for every toolkit: one
// at a time on the one thread, and none before create() or once the run has ended.
//
// The run ends when the window is unloaded or when an event handler raises a failure. A failure
// is kept (the first one, until it is handed on), no further event is handled, and the host's
// loop (run(), or a message box that waits) ends and throws it; it is thrown once. Ticks and
// close requests that arrive while a message box waits are delivered like any other: the policy
// knows no boxes, so a handler may run inside another one's box.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "platform/window.h"

namespace qano {

class EventDispatch {
 public:
  // `end_run` is what the host does when the run ends, by an unload or by a failure: it stops
  // its timers, closes what waits (a message box, the window) and wakes its loop.
  explicit EventDispatch(std::function<void()> end_run) : end_run_(std::move(end_run)) {}

  // From now on the events go to `events`; until detach().
  void attach(WindowEvents& events) { events_ = &events; }
  void detach() { events_ = nullptr; }
  WindowEvents* events() const { return events_; }

  bool unloaded() const { return unloaded_; }
  // A failure waits to be thrown from the loop.
  bool failed() const { return failure_ != nullptr; }
  // Whether events are delivered: attached, neither unloaded nor failed.
  bool running() const { return events_ != nullptr && !unloaded_ && !failure_; }

  // The toolkit's events.
  void click(const std::string& control);
  void tick(const std::string& timer);
  // A close request or the end of the session: the window unloads as on WindowHost::unload.
  void close();

  // WindowHost::unload: the unload event runs (what it raises goes to the caller), then, unless
  // it was cancelled, the run ends.
  void unload();
  // A failure outside a handler (drawing, a toolkit's callback) ends the run as a handler's does.
  void fail(std::exception_ptr failure);
  // Throws the failure that ended the run, once.
  void rethrow_failure();

 private:
  template <class Handler>
  void deliver(Handler handler);

  std::function<void()> end_run_;
  WindowEvents* events_ = nullptr;
  std::exception_ptr failure_;
  bool unloaded_ = false;
};

}  // namespace qano
