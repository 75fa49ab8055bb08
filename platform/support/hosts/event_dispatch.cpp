#include "platform/support/hosts/event_dispatch.h"

namespace qano {

template <class Handler>
void EventDispatch::deliver(Handler handler) {
  if (!running()) return;
  try {
    handler();
  } catch (...) {
    fail(std::current_exception());
  }
}

void EventDispatch::click(const std::string& control) {
  deliver([&] { events_->click(control); });
}

void EventDispatch::tick(const std::string& timer) {
  deliver([&] { events_->tick(timer); });
}

void EventDispatch::close() {
  deliver([this] { unload(); });
}

void EventDispatch::unload() {
  if (unloaded_ || events_ == nullptr) return;
  bool cancel = false;
  events_->unload(cancel);
  if (cancel) return;
  unloaded_ = true;
  end_run_();
}

void EventDispatch::fail(std::exception_ptr failure) {
  if (!failure_) failure_ = std::move(failure);
  end_run_();
}

void EventDispatch::rethrow_failure() {
  if (!failure_) return;
  std::exception_ptr failure = std::move(failure_);
  failure_ = nullptr;
  std::rethrow_exception(failure);
}

}  // namespace qano
