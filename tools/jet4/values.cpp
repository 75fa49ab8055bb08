// Value types of the description: type names, Currency, DateTime and the
// builder helpers of Table and Database.
#include <cstdio>
#include <limits>
#include <utility>

#include "jet4_writer.h"
#include "text.h"

namespace qano::jet4 {

std::string_view type_name(ColumnType type) {
  switch (type) {
    case ColumnType::Boolean:
      return "Boolean";
    case ColumnType::Byte:
      return "Byte";
    case ColumnType::Integer:
      return "Integer";
    case ColumnType::LongInteger:
      return "Long";
    case ColumnType::Currency:
      return "Currency";
    case ColumnType::Single:
      return "Single";
    case ColumnType::Double:
      return "Double";
    case ColumnType::DateTime:
      return "DateTime";
    case ColumnType::Text:
      return "Text";
    case ColumnType::Memo:
      return "Memo";
  }
  return "?";
}

ColumnType parse_type_name(std::string_view name) {
  const std::string key = detail::ascii_lower(name);
  static const std::pair<std::string_view, ColumnType> kNames[] = {
      {"boolean", ColumnType::Boolean},
      {"bool", ColumnType::Boolean},
      {"yes/no", ColumnType::Boolean},
      {"byte", ColumnType::Byte},
      {"integer", ColumnType::Integer},
      {"int", ColumnType::Integer},
      {"long", ColumnType::LongInteger},
      {"longinteger", ColumnType::LongInteger},
      {"long integer", ColumnType::LongInteger},
      {"currency", ColumnType::Currency},
      {"single", ColumnType::Single},
      {"double", ColumnType::Double},
      {"datetime", ColumnType::DateTime},
      {"date/time", ColumnType::DateTime},
      {"date", ColumnType::DateTime},
      {"text", ColumnType::Text},
      {"memo", ColumnType::Memo},
  };
  for (const auto& [candidate, type] : kNames) {
    if (key == candidate) return type;
  }
  throw InputError("unknown column type \"" + std::string(name) + "\"");
}

Currency Currency::parse(std::string_view text) {
  const std::string original(text);
  const auto fail = [&](const char* why) -> Currency {
    throw InputError("invalid Currency value \"" + original + "\": " + why);
  };
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return fail("no digits");
  if (dot != std::string_view::npos && fraction.empty()) return fail("no digits after the point");
  if (fraction.size() > 4) return fail("more than 4 decimals");
  // Accumulate as a negative number so that the minimum int64 is reachable.
  std::int64_t value = 0;
  const auto add_digit = [&](char c) {
    if (c < '0' || c > '9') fail("not a decimal number");
    const int digit = c - '0';
    if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10) fail("out of range");
    value = value * 10 - digit;
  };
  for (char c : whole) add_digit(c);
  for (char c : fraction) add_digit(c);
  for (std::size_t i = fraction.size(); i < 4; ++i) add_digit('0');
  if (!negative) {
    if (value == std::numeric_limits<std::int64_t>::min()) return fail("out of range");
    value = -value;
  }
  return Currency{value};
}

std::string Currency::to_string() const {
  const bool negative = ten_thousandths < 0;
  // Work with the magnitude in unsigned arithmetic (the minimum has no positive twin).
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                           : static_cast<std::uint64_t>(ten_thousandths);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

namespace {

bool is_leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date. Counts whole
// 400-year eras (146097 days each) and then the days within the era, with
// years starting in March so that the leap day falls at the end.
std::int64_t days_from_civil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int month_from_march = month > 2 ? month - 3 : month + 9;
  const int day_of_year = (153 * month_from_march + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return static_cast<std::int64_t>(era) * 146097 + day_of_era - 719468;
}

int parse_fixed_digits(std::string_view text, std::size_t pos, std::size_t count, bool& ok) {
  int value = 0;
  if (pos + count > text.size()) {
    ok = false;
    return 0;
  }
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') ok = false;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

DateTime DateTime::parse(std::string_view text) {
  bool ok = true;
  DateTime dt;
  dt.year = parse_fixed_digits(text, 0, 4, ok);
  ok = ok && text.size() >= 10 && text[4] == '-' && text[7] == '-';
  dt.month = parse_fixed_digits(text, 5, 2, ok);
  dt.day = parse_fixed_digits(text, 8, 2, ok);
  if (ok && text.size() > 10) {
    ok = (text[10] == 'T' || text[10] == ' ') && (text.size() == 16 || text.size() == 19) &&
         text[13] == ':';
    dt.hour = parse_fixed_digits(text, 11, 2, ok);
    dt.minute = parse_fixed_digits(text, 14, 2, ok);
    if (ok && text.size() == 19) {
      ok = text[16] == ':';
      dt.second = parse_fixed_digits(text, 17, 2, ok);
    }
  }
  if (!ok) {
    throw InputError("invalid date/time \"" + std::string(text) +
                     "\" (expected YYYY-MM-DD, YYYY-MM-DD HH:MM or YYYY-MM-DDTHH:MM:SS)");
  }
  dt.to_serial();  // range checks
  return dt;
}

std::string DateTime::to_string() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

double DateTime::to_serial() const {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    throw InputError("invalid date/time " + to_string() + " (years 100..9999)");
  }
  // 1899-12-30 is day 0 of the stored form; it is 25569 days before 1970-01-01.
  const std::int64_t days = days_from_civil(year, month, day) + 25569;
  const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

Table& Table::add_column(std::string column_name, ColumnType type, int size) {
  columns.push_back(Column{std::move(column_name), type, size});
  return *this;
}

Table& Table::add_row(std::vector<Value> values) {
  rows.push_back(std::move(values));
  return *this;
}

Table& Database::add_table(std::string table_name) {
  tables.push_back(Table{std::move(table_name), {}, {}});
  return tables.back();
}

}  // namespace qano::jet4
