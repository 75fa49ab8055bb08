#include "app/program.h"

#include <iostream>
#include <new>

#include "platform/failure.h"
#include "platform/platform.h"

namespace qano {

namespace {
constexpr int kInternalError = 51;
constexpr int kOutOfMemory = 7;
}  // namespace

FailureReport describe_failure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Failure& f) {
    return {f.number(), f.text()};
  } catch (const std::bad_alloc&) {
    return {kOutOfMemory, "Out of memory"};
  } catch (const std::exception& other) {
    return {kInternalError, std::string("Internal error: ") + other.what()};
  } catch (...) {
    return {kInternalError, "Internal error"};
  }
}

std::string failure_box_text(const FailureReport& report) {
  return "Run-time error '" + std::to_string(report.number) + "':\n\n" + report.text;
}

void report_second_instance() {
  std::cerr << kProgramName << ": another " << kProgramName
            << " already runs on this workstation; this one ends without taking any archive"
            << std::endl;
}

int report_failure(std::exception_ptr failure, const std::function<void(const std::string&)>& box) {
  FailureReport r = describe_failure(failure);
  std::cerr << kProgramName << ": run-time error " << r.number << ": " << r.text << std::endl;
  std::cerr.clear();
  if (box) {
    try {
      box(failure_box_text(r));
    } catch (...) {
      // The report has gone to standard error; nothing more can be shown.
    }
  }
  return 1;
}

void HostedPlatform::message_box(const std::string& text) {
  std::cerr << kProgramName << ": " << text << std::endl;
  std::cerr.clear();  // a standard error that nobody reads any more is no failure
  box_(text);
}

}  // namespace qano
