// What the Jet database engine hands back for a query: the columns of the first row of the
// result, each with its type and its Null state, or no row at all (end of file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qano {

enum class JetType {
  boolean,
  byte,
  integer,       // 16-bit
  long_integer,  // 32-bit
  currency,      // exact, four decimals
  single,
  double_precision,
  date_time,
  text,
  memo,
  other,  // a column type the program never reads (binary, GUID, ...)
};

const char* jet_type_name(JetType type);

// --- The date serial ---------------------------------------------------------------------------
//
// Jet keeps a Date/Time as a double: the days since 30/12/1899 (day 0), the time of day as the
// fraction. Before that day the fraction counts away from zero: 29/12/1899 06:00 is -1.25. Both
// directions are here, header-only, for the engines, the start-up's conversions and the tools
// (the Jet 4 writer uses them without linking the platform).

// A day of the proleptic Gregorian calendar.
struct JetDay {
  int year = 1899;
  int month = 12;
  int day = 30;
};

// Whether Jet can keep it: years 100 to 9999, a day that the month has, a time of day.
constexpr bool jet_date_time_valid(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0, std::int64_t nanosecond = 0) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int days = month == 2 && leap ? 29 : kDays[month - 1];
  return day <= days && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 &&
         second <= 59 && nanosecond >= 0 && nanosecond <= 999999999;
}

// The day number of a date: days since 30/12/1899, negative before it. Counts whole 400-year
// eras (146097 days each) and the days within the era, with years starting in March so that the
// leap day falls at the end; 1/1/1970 is day 25569.
constexpr std::int64_t jet_day_number(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t year_of_era = y - era * 400;
  const std::int64_t month_from_march = month > 2 ? month - 3 : month + 9;
  const std::int64_t day_of_year = (153 * month_from_march + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468 + 25569;
}

// The date of a day number (the inverse of jet_day_number).
constexpr JetDay jet_calendar_day(std::int64_t day_number) {
  const std::int64_t z = day_number - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  JetDay d;
  d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
  return d;
}

// The serial of a date and time that jet_date_time_valid accepts.
constexpr double jet_date_serial(int year, int month, int day, int hour = 0, int minute = 0,
                                 int second = 0, std::int64_t nanosecond = 0) {
  const double days = static_cast<double>(jet_day_number(year, month, day));
  double seconds = hour * 3600 + minute * 60 + second;
  if (nanosecond != 0) seconds += static_cast<double>(nanosecond) / 1e9;
  const double fraction = seconds / 86400.0;
  return days >= 0 ? days + fraction : days - fraction;
}

// One value of a row. Null is told apart from every value, a zero-length text included.
class JetValue {
 public:
  JetValue() = default;  // a Null text
  static JetValue null(JetType type) { return JetValue(type, std::monostate{}); }
  static JetValue boolean(bool v) { return JetValue(JetType::boolean, v); }
  static JetValue integer(JetType type, std::int64_t v) { return JetValue(type, v); }
  // Currency in ten-thousandths of a unit: 12.3456 is 123456.
  static JetValue currency(std::int64_t ten_thousandths) {
    return JetValue(JetType::currency, ten_thousandths);
  }
  static JetValue real(JetType type, double v) { return JetValue(type, v); }
  // Date/Time as days since 30/12/1899, the time of day as the fraction.
  static JetValue date_time(double days) { return JetValue(JetType::date_time, days); }
  static JetValue text(std::string utf8, JetType type = JetType::text) {
    return JetValue(type, std::move(utf8));
  }

  JetType type() const { return type_; }
  bool is_null() const { return std::holds_alternative<std::monostate>(data_); }
  bool is_text() const { return std::holds_alternative<std::string>(data_); }
  bool is_number() const { return !is_null() && !is_text(); }

  bool as_bool() const { return std::get<bool>(data_); }
  std::int64_t as_integer() const { return std::get<std::int64_t>(data_); }
  double as_real() const { return std::get<double>(data_); }
  const std::string& as_text() const { return std::get<std::string>(data_); }
  // Any non-Null number as a double (a Boolean true is -1, Currency in units).
  double as_number() const;

  friend bool operator==(const JetValue&, const JetValue&) = default;

 private:
  using Data = std::variant<std::monostate, bool, std::int64_t, double, std::string>;
  JetValue(JetType type, Data data) : type_(type), data_(std::move(data)) {}

  JetType type_ = JetType::text;
  Data data_;
};

struct JetField {
  std::string name;
  JetValue value;
  friend bool operator==(const JetField&, const JetField&) = default;
};

// The outcome of one query. `fields` names every column of the result; their values are those
// of the first row, or Nulls when the result has no row (`eof`).
struct JetResult {
  std::vector<JetField> fields;
  bool eof = true;
};

// The one form of query the program sends to a database, parsed once (select_statement.h):
//   select * from <table> where <column> = <number or 'text'>
struct SelectStatement {
  std::string sql;  // the text as the program wrote it
  std::string table;
  std::string column;
  // A number literal (Double) or a text literal (Text).
  JetValue literal;
};

// A Jet engine over database files of the host (native paths). Whoever calls it has checked the
// file and parsed the query once (jet_contract::run_query).
class JetEngine {
 public:
  virtual ~JetEngine() = default;
  // Opens `file`, runs `query` and returns its first row; never reads past it.
  virtual JetResult first_row(const std::string& file, const SelectStatement& query) = 0;
};

}  // namespace qano
