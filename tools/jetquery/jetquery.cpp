// jetquery FILE 'SQL' — runs one query through the program's own Jet engine and prints the first
// row, one line per column: name, type and value separated by tabs. A text is a JSON string, a
// number is bare, a Null is null; "EOF" alone when there is no row. A failure goes to standard
// error with its number, and the exit status is 2.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>

#include "platform/failure.h"
#include "platform/mdbtools/mdbtools_engine.h"

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
  std::time_t t = static_cast<std::time_t>((day - 25569) * 86400 + seconds);  // 25569: 1970-01-01
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: jetquery FILE 'SQL'\n";
    return 2;
  }
  try {
    auto engine = qano::make_mdbtools_engine();
    qano::JetResult result = engine->first_row(argv[1], argv[2]);
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
