#include "platform/odbc/odbc_values.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/failure.h"
#include "platform/text.h"

namespace qano::odbc {

// The Jet type of a column from what the driver says of it. The two drivers describe some types
// differently:
//   Access driver                      MDBTools driver
//   Currency: NUMERIC(19,4) CURRENCY   DECIMAL "MONEY"
//   Single:   REAL                     FLOAT of 4 bytes ("FLOAT")
//   Memo:     LONGVARCHAR              VARCHAR "MEMO"
JetType jet_type(SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT decimals,
                 const std::string& type_name) {
  switch (sql_type) {
    case SQL_BIT:
      return JetType::boolean;
    case SQL_TINYINT:
      return JetType::byte;
    case SQL_SMALLINT:
      return JetType::integer;
    case SQL_INTEGER:
      return JetType::long_integer;
    case SQL_REAL:
      return JetType::single;
    case SQL_FLOAT:
      // Its size is the precision in bits (24 for a Single), or for MDBTools the bytes.
      return size > 0 && size <= 24 ? JetType::single : JetType::double_precision;
    case SQL_DOUBLE:
      return JetType::double_precision;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      if (text::equal_ignoring_case(type_name, "CURRENCY") ||
          text::equal_ignoring_case(type_name, "MONEY") || (size == 19 && decimals == 4)) {
        return JetType::currency;
      }
      return JetType::other;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
      return JetType::date_time;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      return text::equal_ignoring_case(type_name, "MEMO") ? JetType::memo : JetType::text;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      return JetType::memo;
    default:
      return JetType::other;
  }
}

// A text column of the current row, in as many parts as it takes; nullopt for Null.
std::optional<std::string> read_text(SQLHSTMT st, SQLUSMALLINT column, const char* doing) {
  OdbcText whole;
  OdbcText part(8192, 0);
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(st, column, kTextData, odbc_chars(part.data()),
                              static_cast<SQLLEN>(part.size() * sizeof(OdbcChar)), &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) driver_failure(SQL_HANDLE_STMT, st, doing);
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    // A part fills the buffer but for its closing NUL; the indicator counts what was left.
    std::size_t room = part.size() - 1;
    std::size_t got = indicator == SQL_NO_TOTAL || indicator < 0
                          ? room
                          : std::min(room, static_cast<std::size_t>(indicator) / sizeof(OdbcChar));
    whole.append(part.data(), got);
    if (rc == SQL_SUCCESS) break;
  }
  return from_odbc(whole);
}

namespace {

// A value of fixed size; nullopt for Null.
template <typename T>
std::optional<T> read_fixed(SQLHSTMT st, SQLUSMALLINT column, SQLSMALLINT c_type) {
  // Room to spare: the MDBTools driver writes a Boolean as a 4-byte int and a Date/Time as a
  // timestamp, whatever C type is asked for.
  alignas(8) std::array<unsigned char, 64> buffer{};
  SQLLEN indicator = 0;
  SQLRETURN rc =
      SQLGetData(st, column, c_type, buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator);
  if (!SQL_SUCCEEDED(rc)) driver_failure(SQL_HANDLE_STMT, st, "reading a value");
  if (indicator == SQL_NULL_DATA) return std::nullopt;
  T value{};
  std::memcpy(&value, buffer.data(), sizeof value);
  return value;
}

// A Currency from its decimal text ("-12.3456", "12", "0.5000") in ten-thousandths, exactly.
std::int64_t currency_of(const std::string& s) {
  auto bad = [&]() -> std::int64_t {
    fail(failure::kSqlError, "The database driver gave '" + s + "' for a Currency value.");
  };
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint64_t magnitude = 0;
  int decimals = -1;  // digits seen after the point, -1 before it
  bool digits = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if ((c == '.' || c == ',') && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return bad();
    digits = true;
    if (decimals >= 4) {
      if (c != '0') return bad();  // a Currency has four decimals at most
      continue;
    }
    if (magnitude > (UINT64_MAX - 9) / 10) return bad();
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (decimals >= 0) ++decimals;
  }
  if (!digits) return bad();
  for (int d = decimals < 0 ? 0 : decimals; d < 4; ++d) {
    if (magnitude > UINT64_MAX / 10) return bad();
    magnitude *= 10;
  }
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  if (magnitude > kLimit || (!negative && magnitude == kLimit)) return bad();
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

// The serial of what the driver gave; a date that Jet cannot keep (the MDBTools driver leaves
// the timestamp of one it cannot read unfilled) is failure 3000.
double date_serial(int year, int month, int day, int hour, int minute, int second,
                   std::int64_t nanosecond) {
  if (!jet_date_time_valid(year, month, day, hour, minute, second, nanosecond)) {
    char shown[64];
    std::snprintf(shown, sizeof shown, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    fail(failure::kSqlError,
         std::string("The database driver gave an impossible date, ") + shown + ".");
  }
  return jet_date_serial(year, month, day, hour, minute, second, nanosecond);
}

}  // namespace

JetValue read_value(SQLHSTMT st, SQLUSMALLINT column, JetType type) {
  switch (type) {
    case JetType::boolean: {
      // The Access driver writes one byte 0 or 1, the MDBTools driver an int.
      auto v = read_fixed<std::int32_t>(st, column, SQL_C_BIT);
      return v ? JetValue::boolean(*v != 0) : JetValue::null(type);
    }
    case JetType::byte: {
      auto v = read_fixed<std::uint8_t>(st, column, SQL_C_UTINYINT);
      return v ? JetValue::integer(type, *v) : JetValue::null(type);
    }
    case JetType::integer: {
      // SQL_C_SHORT rather than SQL_C_SSHORT: the same C type, and the only one of the two that
      // the MDBTools driver takes for an Integer.
      auto v = read_fixed<std::int16_t>(st, column, SQL_C_SHORT);
      return v ? JetValue::integer(type, *v) : JetValue::null(type);
    }
    case JetType::long_integer: {
      auto v = read_fixed<std::int32_t>(st, column, SQL_C_SLONG);
      return v ? JetValue::integer(type, *v) : JetValue::null(type);
    }
    case JetType::single: {
      auto v = read_fixed<float>(st, column, SQL_C_FLOAT);
      return v ? JetValue::real(type, *v) : JetValue::null(type);
    }
    case JetType::double_precision: {
      auto v = read_fixed<double>(st, column, SQL_C_DOUBLE);
      return v ? JetValue::real(type, *v) : JetValue::null(type);
    }
    case JetType::currency: {
      // As text: both drivers give it exactly, where a double would not be.
      auto v = read_text(st, column, "reading a Currency value");
      return v ? JetValue::currency(currency_of(*v)) : JetValue::null(type);
    }
    case JetType::date_time: {
      alignas(8) std::array<unsigned char, 64> buffer{};
      SQLLEN indicator = 0;
      SQLRETURN rc = SQLGetData(st, column, SQL_C_TYPE_TIMESTAMP, buffer.data(),
                                static_cast<SQLLEN>(buffer.size()), &indicator);
      if (!SQL_SUCCEEDED(rc)) driver_failure(SQL_HANDLE_STMT, st, "reading a Date/Time value");
      if (indicator == SQL_NULL_DATA) return JetValue::null(type);
      if (indicator == static_cast<SQLLEN>(sizeof(SQL_DATE_STRUCT))) {
        // A driver may give a column formatted as a short date as a date alone.
        SQL_DATE_STRUCT d{};
        std::memcpy(&d, buffer.data(), sizeof d);
        return JetValue::date_time(date_serial(d.year, d.month, d.day, 0, 0, 0, 0));
      }
      SQL_TIMESTAMP_STRUCT t{};
      std::memcpy(&t, buffer.data(), sizeof t);
      return JetValue::date_time(
          date_serial(t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction));
    }
    case JetType::text:
    case JetType::memo:
    case JetType::other: {
      // A column type the program never reads (binary, GUID, Decimal) comes as the driver's text.
      auto v = read_text(st, column, "reading a text value");
      return v ? JetValue::text(std::move(*v), type) : JetValue::null(type);
    }
  }
  return JetValue::null(type);
}

}  // namespace qano::odbc
