// Value types of the description: type names, Currency, DateTime and the
// builder helpers of Table and Database.
#include <cstdio>
#include <limits>
#include <utility>

#include "jet4_writer.h"
#include "platform/jet/jet.h"
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
  if (!jet_date_time_valid(year, month, day, hour, minute, second))
    throw InputError("invalid date/time " + to_string() + " (years 100..9999)");
  return jet_date_serial(year, month, day, hour, minute, second);
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
