// jetquery FILE 'SQL' — runs one query through the program's own Jet engine and prints the first
// row, one line per column: name, type and value separated by tabs. A text is a JSON string, a
// number is bare, a Null is null; "EOF" alone when there is no row. A failure goes to standard
// error with its number, and the exit status is 2.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/host_platform.h"
#include "platform/jet/jet_contract.h"
#include "platform/version.h"

namespace {

std::string shortest(double v) {
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, r.ptr);
}

std::string currency(std::int64_t ten_thousandths) {
  bool negative = ten_thousandths < 0;
  // Work in unsigned so the most negative amount prints too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                     : static_cast<std::uint64_t>(ten_thousandths);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buffer;
}

// Days since 30/12/1899 as "yyyy-mm-dd hh:mm:ss". Before that day the whole part counts the
// days back and the fraction still gives the time of day: -1.25 is 29/12/1899 06:00.
std::string date_time(double days) {
  double whole = std::trunc(days);
  auto seconds = static_cast<long long>(std::llround(std::fabs(days - whole) * 86400.0));
  long long day = static_cast<long long>(whole) + seconds / 86400;
  seconds %= 86400;
  const qano::JetDay date = qano::jet_calendar_day(day);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02lld:%02lld:%02lld", date.year, date.month,
                date.day, seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buffer;
}

std::string printed(const qano::JetValue& v) {
  using qano::JetType;
  if (v.is_null()) return "null";
  switch (v.type()) {
    case JetType::boolean:
      return v.as_bool() ? "true" : "false";
    case JetType::currency:
      return currency(v.as_integer());
    case JetType::single:
    case JetType::double_precision:
      return shortest(v.as_real());
    case JetType::date_time:
      return nlohmann::json(date_time(v.as_real())).dump();
    default:
      break;
  }
  if (v.is_text()) {
    return nlohmann::json(v.as_text())
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  return std::to_string(v.as_integer());
}

std::string usage() {
  return std::string(
             "Usage: jetquery FILE 'SQL'\n"
             "  or:  jetquery --help | --version\n"
             "\n"
             "Runs one SELECT on the Access (Jet 4) database FILE through qanocontrol's own Jet\n"
             "engine (") +
         qano::host_jet_engine_name() +
         ") and prints the first row, one line per column:\n"
         "its name, type and value, separated by tabs. A text is a JSON string, a number\n"
         "is bare, a Null is null; EOF alone when there is no row.\n"
         "\n"
         "Exit status: 0 a row or EOF; 2 a failure, shown on standard error with its\n"
         "number and text (3024 the file is missing, 3343 it is no Access database,\n"
         "3078 no such table), or a wrong command line.\n";
}

}  // namespace

int qano::console_main(int argc, char** argv) {
  const std::string argument = argc > 1 ? argv[1] : "";
  if (argc == 2 && (argument == "--help" || argument == "-h")) {
    std::cout << usage();
    return 0;
  }
  if (argc == 2 && argument == "--version") {
    std::cout << "jetquery (qanocontrol) " << qano::kVersion << '\n';
    return 0;
  }
  if (argc != 3) {
    std::cerr << "usage: jetquery FILE 'SQL'\n";
    return 2;
  }
  try {
    // The host's own engine, on the file as given: a host path, not one of the program's.
    std::unique_ptr<qano::HostPlatform> host = qano::make_host_platform();
    qano::JetResult result = qano::jet_contract::run_query(host->jet_engine(), argv[1], argv[2]);
    if (result.eof) {
      std::cout << "EOF\n";
      return 0;
    }
    for (const qano::JetField& f : result.fields) {
      std::cout << f.name << '\t' << qano::jet_type_name(f.value.type()) << '\t' << printed(f.value)
                << '\n';
    }
    return 0;
  } catch (const qano::Failure& f) {
    std::cerr << "jetquery: failure " << f.number() << ": " << f.text() << '\n';
    return 2;
  }
}
