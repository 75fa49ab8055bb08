// qanocheck — runs the program's start-up on this machine as the program would, without its
// window and without writing the activity log, and shows what it did. For the shop's IT: to see
// whether the master and data databases are found and what settings they give, before (or
// instead of) starting the program.
//
// Standard output: the log lines start-up would write, as they would be written (characters the
// log's code page lacks show as "?"); a blank line; every setting as name=value.
// Standard error: the text of a message box; an untrapped failure's number and text.
// Exit status: 0 start-up completed, 1 it ended early, 2 an untrapped failure, 64 a command line
// it does not understand.
#include <iostream>
#include <string>
#include <vector>

#include "intake/archive_intake.h"
#include "platform/forwarding_platform.h"
#include "platform/host_platform.h"
#include "platform/text.h"
#include "platform/version.h"
#include "startup/activity_log.h"
#include "startup/startup.h"
#include "tools/ship/qanocheck/settings_report.h"

namespace qano {
namespace {

std::string usage() {
  return std::string(
             "Usage: qanocheck [--help | --version]\n"
             "\n"
             "Runs qanocontrol's start-up as the program would, without its window and without\n"
             "writing the activity log, and shows what it did:\n"
             "  standard output  the log lines start-up would write, a blank line, then every\n"
             "                   setting as name=value (a text as a JSON string, a number bare),\n"
             "                   a blank line, then each claim in C:\\qano\\qanocontrol and\n"
             "                   each archive C:\\qano\\acq_*.zip in the intake's order:\n"
             "                   archive=\"<name>\" [claim=\"<id>\"] next|waits|left[: reason]\n"
             "  standard error   a message box's text, or a failure's number and text\n"
             "  exit status      0 start-up completed, 1 start-up ended early,\n"
             "                   2 a failure that would stop the program,\n"
             "                   64 a command line it does not understand\n"
             "\n") +
         host_drives_help() +
         " The log file is neither\n"
         "created nor written, but its folder C:\\super\\bkp must exist, as for the program.\n";
}

constexpr int kCompleted = 0;
constexpr int kEndedEarly = 1;
constexpr int kFailed = 2;
constexpr int kUsageError = 64;

// The real platform, except that the activity log goes to standard output instead of its file,
// and a message box to standard error. Opening the log fails where the program's would, but
// nothing is created or written.
class CheckPlatform : public ForwardingPlatform {
 public:
  explicit CheckPlatform(HostPlatform& host) : ForwardingPlatform(host), host_(host) {}

  void open_append(int number, const std::string& path) override {
    if (number != ActivityLog::kFileNumber) return ForwardingPlatform::open_append(number, path);
    if (log_open_) fail(failure::kFileAlreadyOpen);
    if (std::optional<Failure> f = host_.open_append_failure(number, path)) throw *f;
    log_open_ = true;
  }
  void write_line(int number, const std::string& line) override {
    if (number != ActivityLog::kFileNumber || !log_open_) {
      return ForwardingPlatform::write_line(number, line);
    }
    // As the file would hold it: what Windows-1252 lacks is "?".
    std::cout << text::from_ansi(text::to_ansi(line)) << '\n' << std::flush;
  }
  void close_all() override {
    log_open_ = false;
    ForwardingPlatform::close_all();
  }
  void message_box(const std::string& message) override {
    std::cerr << "qanocheck: message box: " << message << std::endl;
  }

 private:
  HostPlatform& host_;
  bool log_open_ = false;
};

int check() {
  std::unique_ptr<HostPlatform> host = make_host_platform();
  // Every path would then be "not found": say why before start-up says what.
  if (std::optional<std::string> note = host->drives_note()) {
    std::cerr << "qanocheck: note: " << *note << std::endl;
  }
  CheckPlatform platform(*host);
  SessionSettings settings;
  StartupWindowFields window;
  RecordSourceGateway var(platform);
  int status = kFailed;
  try {
    StartupEnd end = start_up(platform, settings, window, var, platform.current_drive());
    status = end == StartupEnd::complete ? kCompleted : kEndedEarly;
  } catch (const Failure& f) {
    std::cerr << "qanocheck: failure " << f.number() << ": " << f.text() << std::endl;
  }
  // The settings also after a failure: they show how far start-up came.
  std::cout << '\n';
  for (const std::string& line : settings_lines(settings, window)) std::cout << line << '\n';
  std::cout << std::flush;
  // What the next intake would do with each archive in C:\qano.
  try {
    ArchiveIntake intake(platform);
    std::vector<std::string> lines = archive_lines(intake.survey());
    std::cout << '\n';
    for (const std::string& line : lines) std::cout << line << '\n';
    std::cout << std::flush;
  } catch (const Failure& f) {
    std::cerr << "qanocheck: failure " << f.number() << ": " << f.text() << std::endl;
    status = kFailed;
  }
  return status;
}

}  // namespace

int console_main(int argc, char** argv) {
  std::string argument = argc > 1 ? argv[1] : "";
  if (argc == 2 && (argument == "--help" || argument == "-h")) {
    std::cout << usage();
    return kCompleted;
  }
  if (argc == 2 && argument == "--version") {
    std::cout << "qanocheck (qanocontrol) " << kVersion << '\n';
    return kCompleted;
  }
  if (argc > 1) {
    std::cerr << "qanocheck: unknown argument '" << argument << "'\n" << usage();
    return kUsageError;
  }
  try {
    return check();
  } catch (const std::exception& e) {
    std::cerr << "qanocheck: failure: " << e.what() << std::endl;
    return kFailed;
  }
}

}  // namespace qano
