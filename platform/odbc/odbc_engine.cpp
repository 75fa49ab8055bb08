#include "platform/odbc/odbc_engine.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/failure.h"
#include "platform/odbc/driver_failures.h"
#include "platform/select_statement.h"
#include "platform/text.h"
#ifdef _WIN32
#include "platform/win32/wide.h"
#endif

namespace qano {

namespace {

constexpr int kInvalidPath = 3044;

// --- The one place where Windows and Linux differ --------------------------------------------

#ifdef _WIN32
// Windows' driver manager and the Access driver take and give UTF-16 through the wide calls.
using OdbcChar = SQLWCHAR;
using OdbcText = std::wstring;
constexpr SQLSMALLINT kTextData = SQL_C_WCHAR;
#define QANO_ODBC(call) call##W

OdbcText to_odbc(const std::string& utf8) {
  return win32::to_wide(utf8);
}

std::string from_odbc(const OdbcText& wide) {
  return win32::from_wide(wide);
}

std::vector<OdbcDriver> system_drivers() {
  return {{"Microsoft Access Driver (*.mdb)", OdbcDialect::access},
          {"Microsoft Access Driver (*.mdb, *.accdb)", OdbcDialect::access}};
}

// The Access driver for 32-bit programs takes its connection string in the ANSI code page: a
// character of the path that the code page lacks would reach it as '?'. Such a path goes as its
// short (8.3) form, which the system spells in the code page's letters where the disk keeps short
// names.
std::string path_for_driver(const std::string& file, OdbcDialect dialect) {
  if (dialect != OdbcDialect::access || text::fits_ansi(file)) return file;
  const std::wstring wide = win32::to_wide(file);
  DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (n > 0) {
    std::wstring short_path(n, L'\0');
    DWORD m = GetShortPathNameW(wide.c_str(), short_path.data(), n);
    if (m > 0 && m < n) {
      short_path.resize(m);
      std::string utf8 = win32::from_wide(short_path);
      if (text::fits_ansi(utf8)) return utf8;
    }
  }
  fail(kInvalidPath,
       "'" + file +
           "' is not a valid path for the Access driver: it holds characters that this "
           "workstation's code page (" +
           std::to_string(GetACP()) +
           ") lacks, and the disk gives it "
           "no short (8.3) name without them. Rename the file or its folders with letters of that "
           "code page.");
}
#else
// unixODBC with the MDBTools driver: its wide calls mangle non-ASCII text, its narrow ones pass
// UTF-8 through unchanged.
using OdbcChar = SQLCHAR;
using OdbcText = std::string;
constexpr SQLSMALLINT kTextData = SQL_C_CHAR;
#define QANO_ODBC(call) call##A

OdbcText to_odbc(const std::string& utf8) {
  return utf8;
}
std::string from_odbc(const OdbcText& text) {
  return text;
}

std::vector<OdbcDriver> system_drivers() {
  return {{"MDBTools", OdbcDialect::mdbtools}};
}

// unixODBC hands the path on in UTF-8 as it is.
std::string path_for_driver(const std::string& file, OdbcDialect) {
  return file;
}
#endif

template <typename T>
OdbcChar* odbc(T* p) {
  return reinterpret_cast<OdbcChar*>(p);
}

// --- Failures, as the mdbtools engine reports them --------------------------------------------

constexpr int kCannotOpen = 3051;
constexpr int kTooFewParameters = 3061;
constexpr int kNoInstallableIsam = 3170;
constexpr int kDataTypeMismatch = 3464;

[[noreturn]] void unrecognized(const std::string& file, const std::string& why = "") {
  fail(failure::kUnrecognizedFormat,
       "Unrecognized database format '" + file + "'." + (why.empty() ? "" : " (" + why + ")"));
}

[[noreturn]] void cannot_open(const std::string& file) {
  fail(kCannotOpen, "Cannot open the file '" + file + "': permission denied.");
}

[[noreturn]] void table_not_found(const std::string& table) {
  fail(failure::kTableNotFound, "Cannot find the input table or query '" + table +
                                    "'. Make sure it exists and that its name is spelled "
                                    "correctly.");
}

[[noreturn]] void too_few_parameters() {
  fail(kTooFewParameters, "Too few parameters. Expected 1.");
}

[[noreturn]] void data_type_mismatch() {
  fail(kDataTypeMismatch, "Data type mismatch in criteria expression.");
}

// --- Driver messages ---------------------------------------------------------------------------

// Whether a driver's message is text a person can read: UTF-8 without control characters. The
// MDBTools driver may hand back a buffer it never filled.
bool readable(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (n == 0 || n > s.size() - i) return false;
    if (n == 1 && c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// Every diagnostic record of the handle's last call, in the driver's order.
std::vector<DriverRecord> diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<DriverRecord> records;
  for (SQLSMALLINT i = 1; i <= 32; ++i) {
    OdbcText state(6, 0);
    OdbcText message(1024, 0);
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = QANO_ODBC(SQLGetDiagRec)(handle_type, handle, i, odbc(state.data()), &native,
                                            odbc(message.data()),
                                            static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;  // SQL_NO_DATA after the last one
    state.resize(5);
    message.resize(std::min<std::size_t>(length > 0 ? static_cast<std::size_t>(length) : 0,
                                         message.size() - 1));
    DriverRecord r{from_odbc(state), static_cast<long>(native), from_odbc(message)};
    while (!r.text.empty() &&
           (r.text.back() == '\n' || r.text.back() == '\r' || r.text.back() == ' ')) {
      r.text.pop_back();
    }
    if (r.state == "00000" || !readable(r.text)) r.text.clear();
    records.push_back(std::move(r));
  }
  return records;
}

// A failure of the driver that the engine's own checks did not foresee, as the table of the
// driver's answers (driver_failures.h) classifies it.
[[noreturn]] void driver_failure(SQLSMALLINT handle_type, SQLHANDLE handle,
                                 const std::string& doing,
                                 const SelectStatement* statement = nullptr,
                                 const std::string& sql = "") {
  DriverContext context;
  context.step = statement != nullptr ? DriverStep::query : DriverStep::other;
  context.doing = doing;
  if (statement != nullptr) context.table = statement->table;
  context.sql = sql;
  throw driver_failure(diagnostics(handle_type, handle), context);
}

// --- Handles -----------------------------------------------------------------------------------

class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The driver manager's environment, for as long as the engine lives; made at the first query, so
// that making the engine never fails.
class Environment {
 public:
  SQLHANDLE get() {
    if (!env_) {
      auto env = std::make_unique<Handle>(SQL_HANDLE_ENV, SQLHANDLE{});
      if (!*env || !SQL_SUCCEEDED(SQLSetEnvAttr(env->get(), SQL_ATTR_ODBC_VERSION,
                                                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        fail(failure::kSqlError, "The ODBC driver manager cannot be started.");
      }
      env_ = std::move(env);
    }
    return env_->get();
  }

 private:
  std::unique_ptr<Handle> env_;
};

// One open database: a connection to the file through the first driver that the driver manager
// can load, closed again when it goes.
class Database {
 public:
  Database(SQLHANDLE env, const std::vector<OdbcDriver>& drivers, const std::string& file) {
    std::string not_loaded;
    for (const OdbcDriver& driver : drivers) {
      auto dbc = std::make_unique<Handle>(SQL_HANDLE_DBC, env);
      if (!*dbc) fail(failure::kSqlError, "The ODBC driver manager cannot be started.");
      // Only a hint: the Access driver takes it but does not prevent updates with it (its
      // documentation says so); its connection string asks for a read-only open instead.
      SQLSetConnectAttr(dbc->get(), SQL_ATTR_ACCESS_MODE,
                        reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
      OdbcText connection = to_odbc(connection_string(driver, file));
      SQLRETURN rc = QANO_ODBC(SQLDriverConnect)(dbc->get(), nullptr, odbc(connection.data()),
                                                 SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
      if (SQL_SUCCEEDED(rc)) {
        dbc_ = std::move(dbc);
        dialect_ = driver.dialect;
        return;
      }
      std::vector<DriverRecord> records = diagnostics(SQL_HANDLE_DBC, dbc->get());
      if (!driver_not_loaded(records)) {
        DriverContext context;
        context.step = DriverStep::connect;
        context.dialect = driver.dialect;
        context.file = file;
        context.doing = "opening";
        throw driver_failure(records, context);
      }
      const std::string said = records.empty() ? std::string() : records.front().text;
      if (!not_loaded.empty()) not_loaded += "; ";
      not_loaded += said.empty() ? "driver '" + driver.name + "' not found" : said;
    }
    fail(kNoInstallableIsam,
         "Could not find installable ISAM." + (not_loaded.empty() ? "" : " (" + not_loaded + ")"));
  }

  ~Database() {
    if (dbc_) SQLDisconnect(dbc_->get());
  }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  SQLHANDLE connection() const { return dbc_->get(); }
  OdbcDialect dialect() const { return dialect_; }

 private:
  static std::string connection_string(const OdbcDriver& driver, const std::string& file) {
    std::string dbq = odbc_database_path(file, driver.dialect);
    if (driver.dialect == OdbcDialect::mdbtools) {
      if (file.size() > 255 || file.find(';') != std::string::npos ||
          file.find("DSN") != std::string::npos) {
        fail(kInvalidPath, "'" + file +
                               "' is not a valid path for the MDBTools driver: it is longer than "
                               "255 bytes or holds ';' or 'DSN'.");
      }
      return "Driver={" + driver.name + "};DBQ=" + dbq + ";";
    }
    if (dbq.find_first_of(";{}") != std::string::npos ||
        (!dbq.empty() && (dbq.front() == ' ' || dbq.back() == ' '))) {
      // A value that the connection string's own characters would cut stands in braces, each
      // closing brace doubled.
      std::string braced = "{";
      for (char c : dbq) braced += c == '}' ? std::string("}}") : std::string(1, c);
      dbq = braced + "}";
    }
    // Read-only and shared (no "Exclusive"): the suite goes on using the file meanwhile.
    return "Driver={" + driver.name + "};DBQ=" + dbq + ";ReadOnly=1;";
  }

  std::unique_ptr<Handle> dbc_;
  OdbcDialect dialect_ = OdbcDialect::access;
};

// --- Column types ------------------------------------------------------------------------------

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

bool is_text_type(JetType t) {
  return t == JetType::text || t == JetType::memo;
}

// --- Reading values ----------------------------------------------------------------------------

// A text column of the current row, in as many parts as it takes; nullopt for Null.
std::optional<std::string> read_text(SQLHSTMT st, SQLUSMALLINT column, const char* doing) {
  OdbcText whole;
  OdbcText part(8192, 0);
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(st, column, kTextData, odbc(part.data()),
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

// Days since 30/12/1899 with the time of day as the fraction, the way Jet keeps a Date/Time
// (before that day the fraction counts away from zero: 29/12/1899 06:00 is -1.25).
double date_serial(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                   unsigned second, unsigned nanoseconds) {
  using namespace std::chrono;
  year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (year < 100 || year > 9999 || !date.ok() || hour > 23 || minute > 59 || second > 59 ||
      nanoseconds > 999999999) {
    char shown[64];
    std::snprintf(shown, sizeof shown, "%04d-%02u-%02u %02u:%02u:%02u", year, month, day, hour,
                  minute, second);
    fail(failure::kSqlError,
         std::string("The database driver gave an impossible date, ") + shown + ".");
  }
  const double days = static_cast<double>(sys_days{date}.time_since_epoch().count() + 25569);
  double seconds = hour * 3600 + minute * 60 + second;
  if (nanoseconds != 0) seconds += nanoseconds / 1e9;
  const double fraction = seconds / 86400.0;
  return days >= 0 ? days + fraction : days - fraction;
}

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

// --- Statements --------------------------------------------------------------------------------

// One statement on the open database; its cursor is closed when it goes.
class Statement {
 public:
  explicit Statement(const Database& db) : handle_(SQL_HANDLE_STMT, db.connection()) {
    if (!handle_) driver_failure(SQL_HANDLE_DBC, db.connection(), "preparing a statement");
  }
  SQLHSTMT get() const { return handle_.get(); }

  // The next row; false at the end.
  bool fetch(const char* doing) {
    SQLRETURN rc = SQLFetch(get());
    if (rc == SQL_NO_DATA) return false;
    if (!SQL_SUCCEEDED(rc)) driver_failure(SQL_HANDLE_STMT, get(), doing);
    return true;
  }
  void close() { SQLFreeStmt(get(), SQL_CLOSE); }

 private:
  Handle handle_;
};

std::optional<long> number_in(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  long v = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
  if (ec != std::errc()) return std::nullopt;
  return v;
}

// Each step below has a statement of its own: the MDBTools driver mixes up the columns of a
// catalog call that follows another on the same statement.

// The catalog's own spelling of a table, found without regard to case as Jet finds it.
std::optional<std::string> find_table(const Database& db, const std::string& wanted) {
  Statement st(db);
  if (!SQL_SUCCEEDED(
          QANO_ODBC(SQLTables)(st.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0))) {
    driver_failure(SQL_HANDLE_STMT, st.get(), "listing the tables");
  }
  std::optional<std::string> found;
  while (st.fetch("listing the tables")) {
    auto name = read_text(st.get(), 3, "listing the tables");  // TABLE_NAME
    if (name && text::equal_ignoring_case(*name, wanted)) {
      found = std::move(name);
      break;
    }
  }
  st.close();
  return found;
}

struct Column {
  std::string name;
  JetType type = JetType::other;
};

// The columns of a table as the catalog lists them.
std::vector<Column> catalog_columns(const Database& db, const std::string& table) {
  Statement st(db);
  OdbcText name = to_odbc(table);
  const char* doing = "listing the columns";
  if (!SQL_SUCCEEDED(QANO_ODBC(SQLColumns)(st.get(), nullptr, 0, nullptr, 0, odbc(name.data()),
                                           SQL_NTS, nullptr, 0))) {
    driver_failure(SQL_HANDLE_STMT, st.get(), doing);
  }
  std::vector<Column> columns;
  while (st.fetch(doing)) {
    // The table argument is a pattern ('_' stands for any character): only the table's own rows.
    auto owner = read_text(st.get(), 3, doing);
    auto column = read_text(st.get(), 4, doing);
    auto data_type = number_in(read_text(st.get(), 5, doing));
    auto type_name = read_text(st.get(), 6, doing);
    auto size = number_in(read_text(st.get(), 7, doing));
    auto decimals = number_in(read_text(st.get(), 9, doing));
    if (!owner || *owner != table || !column) continue;
    columns.push_back(Column{
        *column, jet_type(static_cast<SQLSMALLINT>(data_type.value_or(0)),
                          static_cast<SQLULEN>(std::max(0L, size.value_or(0))),
                          static_cast<SQLSMALLINT>(decimals.value_or(0)), type_name.value_or(""))});
  }
  st.close();
  return columns;
}

// The columns of the statement's result, in order.
std::vector<Column> result_columns(Statement& st) {
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(st.get(), &count))) {
    driver_failure(SQL_HANDLE_STMT, st.get(), "describing the result");
  }
  std::vector<Column> columns;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
    OdbcText name(512, 0);
    SQLSMALLINT name_length = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT decimals = 0;
    SQLSMALLINT nullable = 0;
    if (!SQL_SUCCEEDED(QANO_ODBC(SQLDescribeCol)(
            st.get(), c, odbc(name.data()), static_cast<SQLSMALLINT>(name.size()), &name_length,
            &sql_type, &size, &decimals, &nullable))) {
      driver_failure(SQL_HANDLE_STMT, st.get(), "describing the result");
    }
    name.resize(std::min<std::size_t>(
        static_cast<std::size_t>(std::max<SQLSMALLINT>(name_length, 0)), name.size() - 1));
    OdbcText type_name(128, 0);
    SQLSMALLINT type_name_length = 0;
    if (SQL_SUCCEEDED(QANO_ODBC(SQLColAttribute)(
            st.get(), c, SQL_DESC_TYPE_NAME, type_name.data(),
            static_cast<SQLSMALLINT>(type_name.size() * sizeof(OdbcChar)), &type_name_length,
            nullptr))) {
      type_name.resize(std::min<std::size_t>(
          static_cast<std::size_t>(std::max<SQLSMALLINT>(type_name_length, 0)) / sizeof(OdbcChar),
          type_name.size() - 1));
    } else {
      type_name.clear();
    }
    columns.push_back(
        Column{from_odbc(name), jet_type(sql_type, size, decimals, from_odbc(type_name))});
  }
  return columns;
}

// The literal as Jet SQL writes it: a number in its shortest exact form, a text in single quotes
// with each quote doubled.
std::string sql_literal(const JetValue& literal) {
  if (literal.is_text()) {
    std::string out = "'";
    for (char c : literal.as_text()) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  }
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, literal.as_real());
  return std::string(buffer, r.ptr);
}

// --- The engine --------------------------------------------------------------------------------

std::filesystem::path native_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void check_file(const std::string& file) {
  std::error_code ec;
  std::filesystem::file_status status = std::filesystem::status(native_path(file), ec);
  if (ec == std::errc::permission_denied) cannot_open(file);
  if (!std::filesystem::exists(status)) {
    fail(failure::kCouldNotFindFile, "Could not find file '" + file + "'.");
  }
  if (!std::filesystem::is_regular_file(status)) unrecognized(file, "not a file");
}

// An Access database begins with its signature and is made of whole pages (2048 bytes in Jet 3,
// 4096 from Jet 4 on); the driver gets no other file.
void check_format(const std::string& file) {
  std::ifstream in(native_path(file), std::ios::binary);
  if (!in) cannot_open(file);
  std::array<char, 0x15> head{};
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  const bool whole_head = in.gcount() == static_cast<std::streamsize>(head.size());
  static constexpr char kJet[] = "\0\1\0\0Standard Jet DB";
  static constexpr char kAce[] = "\0\1\0\0Standard ACE DB";
  const bool signed_ok = whole_head && (std::memcmp(head.data(), kJet, sizeof kJet) == 0 ||
                                        std::memcmp(head.data(), kAce, sizeof kAce) == 0);
  in.close();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(native_path(file), ec);
  if (ec) cannot_open(file);
  const std::uintmax_t page = signed_ok && head[0x14] == 0 ? 2048 : 4096;
  if (size % page != 0) unrecognized(file, "it ends inside a page");
  if (!signed_ok) unrecognized(file);
}

class OdbcEngine : public JetEngine {
 public:
  explicit OdbcEngine(OdbcOptions options) : options_(std::move(options)) {}

  JetResult first_row(const std::string& file, const std::string& sql) override {
    check_file(file);
    const SelectStatement statement = parse_select(sql);
    check_format(file);

    Database db(environment_.get(), options_.drivers, file);
    const std::optional<std::string> table = find_table(db, statement.table);
    if (!table) table_not_found(statement.table);
    const std::vector<Column> columns = catalog_columns(db, *table);
    const Column* where = nullptr;
    for (const Column& c : columns) {
      if (text::equal_ignoring_case(c.name, statement.column)) {
        where = &c;
        break;
      }
    }
    if (where == nullptr) too_few_parameters();
    if (where->type != JetType::other && is_text_type(where->type) != statement.literal.is_text()) {
      data_type_mismatch();
    }

    // A number too large to write down matches nothing; the engine's own comparison says so.
    const bool driver_compares =
        (db.dialect() == OdbcDialect::access || options_.criteria_to_mdbtools) &&
        (statement.literal.is_text() || std::isfinite(statement.literal.as_real()));
    std::string query = "SELECT * FROM [" + *table + "]";
    if (driver_compares)
      query += " WHERE [" + where->name + "] = " + sql_literal(statement.literal);
    OdbcText query_text = to_odbc(query);
    Statement st(db);
    if (!SQL_SUCCEEDED(QANO_ODBC(SQLExecDirect)(st.get(), odbc(query_text.data()), SQL_NTS))) {
      driver_failure(SQL_HANDLE_STMT, st.get(), "running the query", &statement, sql);
    }

    const std::vector<Column> result_cols = result_columns(st);
    JetResult result;
    std::size_t where_index = result_cols.size();
    for (std::size_t i = 0; i < result_cols.size(); ++i) {
      result.fields.push_back(JetField{result_cols[i].name, JetValue::null(result_cols[i].type)});
      if (where_index == result_cols.size() && result_cols[i].name == where->name) where_index = i;
    }
    if (where_index == result_cols.size()) too_few_parameters();

    // The driver that compares hands over the first matching row at once. Otherwise the rows come
    // in the table's order, and only the criteria column of each is read until one matches: a
    // value that cannot be read in a row that is not the answer must not stop the query. (The
    // MDBTools driver reads a row's columns in any order.)
    auto column_value = [&](std::size_t i) {
      return read_value(st.get(), static_cast<SQLUSMALLINT>(i + 1), result_cols[i].type);
    };
    while (st.fetch("reading a row")) {
      std::optional<JetValue> key;
      if (!driver_compares) {
        key = column_value(where_index);
        if (!criteria_match(*key, statement.literal)) continue;
      }
      for (std::size_t i = 0; i < result_cols.size(); ++i) {
        result.fields[i].value = key && i == where_index ? *key : column_value(i);
      }
      result.eof = false;
      break;
    }
    st.close();
    return result;
  }

 private:
  OdbcOptions options_;
  Environment environment_;
};

}  // namespace

std::vector<OdbcDriver> default_odbc_drivers() {
  return system_drivers();
}

std::string odbc_database_path(const std::string& file, OdbcDialect dialect) {
  return path_for_driver(file, dialect);
}

std::unique_ptr<JetEngine> make_odbc_engine(OdbcOptions options) {
  return std::make_unique<OdbcEngine>(std::move(options));
}

}  // namespace qano
