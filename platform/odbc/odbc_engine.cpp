#include "platform/odbc/odbc_engine.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/failure.h"
#include "platform/jet/jet_contract.h"
#include "platform/odbc/odbc_calls.h"
#include "platform/odbc/odbc_values.h"
#include "platform/text.h"

namespace qano {

namespace {

using namespace odbc;
using jet_contract::cannot_open;
using jet_contract::unrecognized;

[[noreturn]] void no_driver_manager() {
  fail(failure::kSqlError, "The ODBC driver manager cannot be started.");
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
        no_driver_manager();
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
      if (!*dbc) no_driver_manager();
      // Only a hint: the Access driver takes it but does not prevent updates with it (its
      // documentation says so); its connection string asks for a read-only open instead.
      SQLSetConnectAttr(dbc->get(), SQL_ATTR_ACCESS_MODE,
                        reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
      OdbcText connection = to_odbc(connection_string(driver, file));
      SQLRETURN rc = QANO_ODBC(SQLDriverConnect)(dbc->get(), nullptr, odbc_chars(connection.data()),
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
    throw jet_contract::no_installable_isam(not_loaded);
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
        throw jet_contract::invalid_path(file,
                                         "for the MDBTools driver: it is longer than 255 bytes "
                                         "or holds ';' or 'DSN'");
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

// The columns of a table as the catalog lists them.
std::vector<JetField> catalog_columns(const Database& db, const std::string& table) {
  Statement st(db);
  OdbcText name = to_odbc(table);
  const char* doing = "listing the columns";
  if (!SQL_SUCCEEDED(QANO_ODBC(SQLColumns)(st.get(), nullptr, 0, nullptr, 0,
                                           odbc_chars(name.data()), SQL_NTS, nullptr, 0))) {
    driver_failure(SQL_HANDLE_STMT, st.get(), doing);
  }
  std::vector<JetField> columns;
  while (st.fetch(doing)) {
    // The table argument is a pattern ('_' stands for any character): only the table's own rows.
    auto owner = read_text(st.get(), 3, doing);
    auto column = read_text(st.get(), 4, doing);
    auto data_type = number_in(read_text(st.get(), 5, doing));
    auto type_name = read_text(st.get(), 6, doing);
    auto size = number_in(read_text(st.get(), 7, doing));
    auto decimals = number_in(read_text(st.get(), 9, doing));
    if (!owner || *owner != table || !column) continue;
    columns.push_back(JetField{
        *column, JetValue::null(jet_type(static_cast<SQLSMALLINT>(data_type.value_or(0)),
                                         static_cast<SQLULEN>(std::max(0L, size.value_or(0))),
                                         static_cast<SQLSMALLINT>(decimals.value_or(0)),
                                         type_name.value_or("")))});
  }
  st.close();
  return columns;
}

// The columns of the statement's result, in order.
std::vector<JetField> result_columns(Statement& st) {
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(st.get(), &count))) {
    driver_failure(SQL_HANDLE_STMT, st.get(), "describing the result");
  }
  std::vector<JetField> columns;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
    OdbcText name(512, 0);
    SQLSMALLINT name_length = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT decimals = 0;
    SQLSMALLINT nullable = 0;
    if (!SQL_SUCCEEDED(QANO_ODBC(SQLDescribeCol)(
            st.get(), c, odbc_chars(name.data()), static_cast<SQLSMALLINT>(name.size()),
            &name_length, &sql_type, &size, &decimals, &nullable))) {
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
    columns.push_back(JetField{
        from_odbc(name), JetValue::null(jet_type(sql_type, size, decimals, from_odbc(type_name)))});
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

// An Access database begins with its signature and is made of whole pages (2048 bytes in Jet 3,
// 4096 from Jet 4 on); the driver gets no other file.
void check_format(const std::string& file) {
  std::ifstream in(jet_contract::native_path(file), std::ios::binary);
  if (!in) throw cannot_open(file);
  std::array<char, 0x15> head{};
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  const bool whole_head = in.gcount() == static_cast<std::streamsize>(head.size());
  static constexpr char kJet[] = "\0\1\0\0Standard Jet DB";
  static constexpr char kAce[] = "\0\1\0\0Standard ACE DB";
  const bool signed_ok = whole_head && (std::memcmp(head.data(), kJet, sizeof kJet) == 0 ||
                                        std::memcmp(head.data(), kAce, sizeof kAce) == 0);
  in.close();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(jet_contract::native_path(file), ec);
  if (ec) throw cannot_open(file);
  const std::uintmax_t page = signed_ok && head[0x14] == 0 ? 2048 : 4096;
  if (size % page != 0) throw unrecognized(file, "it ends inside a page");
  if (!signed_ok) throw unrecognized(file);
}

class OdbcEngine : public JetEngine {
 public:
  explicit OdbcEngine(OdbcOptions options) : options_(std::move(options)) {}

  JetResult first_row(const std::string& file, const SelectStatement& statement) override {
    check_format(file);

    Database db(environment_.get(), options_.drivers, file);
    const std::optional<std::string> table = find_table(db, statement.table);
    if (!table) throw jet_contract::table_not_found(statement.table);
    const std::vector<JetField> columns = catalog_columns(db, *table);
    const JetField* where = &columns[jet_contract::criteria_column(columns, statement)];

    // A number too large to write down matches nothing; the engine's own comparison says so.
    const bool driver_compares =
        (db.dialect() == OdbcDialect::access || options_.criteria_to_mdbtools) &&
        (statement.literal.is_text() || std::isfinite(statement.literal.as_real()));
    std::string query = "SELECT * FROM [" + *table + "]";
    if (driver_compares)
      query += " WHERE [" + where->name + "] = " + sql_literal(statement.literal);
    OdbcText query_text = to_odbc(query);
    Statement st(db);
    if (!SQL_SUCCEEDED(
            QANO_ODBC(SQLExecDirect)(st.get(), odbc_chars(query_text.data()), SQL_NTS))) {
      driver_failure(SQL_HANDLE_STMT, st.get(), "running the query", &statement);
    }

    JetResult result;
    result.fields = result_columns(st);
    const std::size_t n = result.fields.size();
    std::size_t where_index = n;
    for (std::size_t i = 0; i < n && where_index == n; ++i) {
      if (result.fields[i].name == where->name) where_index = i;
    }
    if (where_index == n) throw jet_contract::too_few_parameters();

    // The driver that compares hands over the first matching row at once. Otherwise the rows come
    // in the table's order, and only the criteria column of each is read until one matches: a
    // value that cannot be read in a row that is not the answer must not stop the query. (The
    // MDBTools driver reads a row's columns in any order.)
    auto column_value = [&](std::size_t i) {
      return read_value(st.get(), static_cast<SQLUSMALLINT>(i + 1), result.fields[i].value.type());
    };
    while (st.fetch("reading a row")) {
      std::optional<JetValue> key;
      if (!driver_compares) {
        key = column_value(where_index);
        if (!criteria_match(*key, statement.literal)) continue;
      }
      for (std::size_t i = 0; i < n; ++i) {
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