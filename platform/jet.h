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

// A Jet engine over database files of the host (native paths).
class JetEngine {
 public:
  virtual ~JetEngine() = default;
  // Opens `file`, runs `sql` and returns its first row; never reads past it.
  virtual JetResult first_row(const std::string& file, const std::string& sql) = 0;
};

}  // namespace qano
