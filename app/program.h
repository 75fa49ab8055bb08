// The program's run, the same on every platform: create the window Form1 with all its controls
// (its timer starts counting), run start-up on Load, show the window with the focus on "Uscita"
// and run the message loop until the window is unloaded; then the program ends with status 0.
//
// A failure that nothing handles (in start-up, in a tick or in the unload) ends the program: its
// number and text go to standard error and into a message box, and the status is 1. Every log
// line written before it is on disk already: each line is handed to the system as it is written.
//
// The window host (FLTK on Linux, Win32 on Windows) is a ProgramHost (platform/window.h).
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "app/form1.h"
#include "platform/forwarding_platform.h"
#include "platform/window.h"
#include "startup/session_settings.h"

namespace qano {

struct FailureReport {
  int number = 0;
  std::string text;
};

// The number and text of a failure: a Failure's own, else 7 for memory and 51 for the rest.
FailureReport describe_failure(std::exception_ptr failure);
// The text of the box that reports a failure: "Run-time error '53':\n\nFile not found".
std::string failure_box_text(const FailureReport& report);
// Reports a failure on standard error and, when there is one, in `box`; the exit status, 1.
int report_failure(std::exception_ptr failure,
                   const std::function<void(const std::string&)>& box = nullptr);

// The one line on standard error of a program that found another one running.
void report_second_instance();

// The platform as the window's handlers see it: its message boxes are the window host's, and
// their texts go to standard error as well, for whoever watches the program unattended.
class HostedPlatform : public ForwardingPlatform {
 public:
  HostedPlatform(Platform& inner, std::function<void(const std::string&)> box)
      : ForwardingPlatform(inner), box_(std::move(box)) {}
  void message_box(const std::string& text) override;

 private:
  std::function<void(const std::string&)> box_;
};

// Runs the program on `platform` with the window host that `make_host` opens; the exit status.
template <ProgramHost Host>
int run_program(Platform& platform, const std::function<std::unique_ptr<Host>()>& make_host) {
  // A second program would take every archive a second time: it says so and ends at once.
  try {
    if (!platform.claim_single_instance()) {
      report_second_instance();
      return 0;
    }
  } catch (...) {
    return report_failure(std::current_exception());
  }
  std::unique_ptr<Host> host;
  try {
    host = make_host();
  } catch (...) {
    return report_failure(std::current_exception());
  }
  HostedPlatform hosted(platform, [&host](const std::string& text) { host->message_box(text); });
  SessionSettings settings;
  std::unique_ptr<Form1> form;
  try {
    form = std::make_unique<Form1>(hosted, settings, *host);
    host->create(*form, form->drive_list());
    form->Form_Load();
    host->show();
    host->run();
  } catch (...) {
    return report_failure(std::current_exception(),
                          [&host](const std::string& text) { host->failure_box(text); });
  }
  return 0;
}

}  // namespace qano
