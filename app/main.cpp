// qanocontrol: creates the window Form1 with all its controls (its timer starts counting), runs
// start-up on Load, shows the window with the focus on "Uscita" and runs the message loop until
// the window is unloaded; then the program ends with status 0.
//
// A failure that nothing handles (in start-up, in a tick or in the unload) ends the program: its
// number and text go to standard error and into a message box, and the status is 1. Every log
// line written before it is on disk already: each line is handed to the system as it is written.
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "app/form1.h"
#include "app/layout.h"
#include "platform/failure.h"
#include "platform/fltk/fltk_host.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/posix/posix_platform.h"
#include "startup/session_settings.h"

namespace {

constexpr int kInternalError = 51;
constexpr int kOutOfMemory = 7;

struct Report {
  int number;
  std::string text;
};

Report describe(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const qano::Failure& f) {
    return {f.number(), f.text()};
  } catch (const std::bad_alloc&) {
    return {kOutOfMemory, "Out of memory"};
  } catch (const std::exception& other) {
    return {kInternalError, std::string("Internal error: ") + other.what()};
  } catch (...) {
    return {kInternalError, "Internal error"};
  }
}

int report(std::exception_ptr e, qano::FltkHost* host) {
  Report r = describe(e);
  std::cerr << qano::kProgramName << ": run-time error " << r.number << ": " << r.text << std::endl;
  if (host != nullptr) {
    try {
      host->failure_box("Run-time error '" + std::to_string(r.number) + "':\n\n" + r.text);
    } catch (...) {
      // The report has gone to standard error; nothing more can be shown.
    }
  }
  return 1;
}

}  // namespace

int main() {
  qano::PosixPlatform platform;
  platform.set_jet_engine(qano::make_mdbtools_engine());
  qano::SessionSettings settings;

  std::unique_ptr<qano::FltkHost> host;
  try {
    host = std::make_unique<qano::FltkHost>(qano::form1_layout());
  } catch (...) {
    return report(std::current_exception(), nullptr);
  }
  platform.set_message_box([&host](const std::string& text) {
    std::cerr << qano::kProgramName << ": " << text << std::endl;
    host->message_box(text);
  });

  qano::Form1 form(platform, settings, *host);
  try {
    host->create(form, form.drive_list());
    form.Form_Load();
    host->show();
    host->run();
  } catch (...) {
    return report(std::current_exception(), host.get());
  }
  return 0;
}
