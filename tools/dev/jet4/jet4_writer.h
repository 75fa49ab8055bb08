// Writer for Access 2000 (Jet 4, ".mdb") database files.
//
// The caller describes tables in memory (a Database) and write_database()
// creates a new file holding them: page 0 header, the MSysObjects catalog on
// page 2, one table definition per table (spread over several pages when it
// is wide), data pages, long-value pages for Memo text, and page usage maps
// (kept inline for small tables, on separate map pages for large ones).
// There are no indexes, queries, forms or relationships.
//
// The same description can be read from JSON (see jet4_json.h and README.md).
//
// Values are converted to the column's type when the file is written:
//   Boolean      bool (never Null: the file keeps a Boolean in the row's
//                null mask, so it has no room for a separate Null state)
//   Byte         integer 0..255
//   Integer      integer -32768..32767
//   LongInteger  integer -2147483648..2147483647
//   Currency     Currency, integer (whole units), decimal string
//                ("-12.3456", at most 4 decimals) or double (rounded to
//                4 decimals)
//   Single       double or integer, within the range of a 32-bit float
//   Double       double or integer, finite
//   DateTime     DateTime or string "YYYY-MM-DD[(T| )HH:MM[:SS]]",
//                years 100..9999
//   Text         UTF-8 string of at most `size` UTF-16 code units
//   Memo         UTF-8 string
// Any column but a Boolean one accepts Null. Bad input makes the writer throw
// InputError naming the table, row and column.
#pragma once

#include <compare>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qano::jet4 {

// Thrown for a description the writer cannot store (unknown type, value out
// of range, text too long, duplicate or invalid name, ...).
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ColumnType {
  Boolean,
  Byte,
  Integer,      // 16-bit
  LongInteger,  // 32-bit
  Currency,     // 64-bit, scaled by 10 000
  Single,
  Double,
  DateTime,
  Text,  // up to 255 characters
  Memo,
};

// Canonical name as used in the JSON description ("Boolean", "Long", ...).
std::string_view type_name(ColumnType type);
// Parses a type name case-insensitively; also accepts "LongInteger",
// "Long Integer", "Date/Time", "Date". Throws InputError for anything else.
ColumnType parse_type_name(std::string_view name);

struct Null {
  friend bool operator==(Null, Null) = default;
};
inline constexpr Null null{};

// An exact amount in ten-thousandths of a unit (the file stores the same).
struct Currency {
  std::int64_t ten_thousandths = 0;

  // "123", "-0.5", "+12.3456"; at most 4 decimals. Throws InputError.
  static Currency parse(std::string_view text);
  // Plain decimal without trailing zeros: "12.5", "-3", "0.0001".
  std::string to_string() const;
  friend auto operator<=>(const Currency&, const Currency&) = default;
};

struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DDTHH:MM:SS". Throws InputError.
  static DateTime parse(std::string_view text);
  // "YYYY-MM-DD HH:MM:SS".
  std::string to_string() const;
  // Days since 1899-12-30 with the time of day as fraction, as the file keeps
  // it (before 1899-12-30 the fraction counts away from zero, e.g.
  // 1899-12-29 06:00 is -1.25). Throws InputError when the date is invalid.
  double to_serial() const;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

using Value = std::variant<Null, bool, std::int64_t, double, std::string, Currency, DateTime>;

struct Column {
  std::string name;  // UTF-8, 1..64 UTF-16 code units
  ColumnType type = ColumnType::LongInteger;
  int size = 0;  // Text only: maximum length in UTF-16 code units, 1..255 (0 means 255)
};

struct Table {
  std::string name;  // UTF-8, 1..64 UTF-16 code units, may hold any letters
  std::vector<Column> columns;
  std::vector<std::vector<Value>> rows;  // each row has one value per column

  Table& add_column(std::string column_name, ColumnType type, int size = 0);
  Table& add_row(std::vector<Value> values);
};

struct Database {
  // A deque, so that references returned by add_table() stay valid when
  // more tables are added.
  std::deque<Table> tables;
  // Creation and update time recorded in the catalog. Fixed by default so
  // the same description always gives the same bytes.
  DateTime created{2000, 1, 1, 0, 0, 0};

  Table& add_table(std::string table_name);
};

// Checks every name, type and value without writing anything. Throws
// InputError describing the first problem.
void validate(const Database& db);

// Writes `db` to `path`, replacing an existing file only once the new one is
// complete (it is built in a temporary file beside it). Throws InputError for
// bad input and std::runtime_error for I/O failures; no partial file is left.
void write_database(const Database& db, const std::filesystem::path& path);

// A database written to a fresh file in the temporary directory, removed
// again when this object is destroyed. Meant for tests of code that reads
// .mdb files.
class TemporaryDatabase {
 public:
  explicit TemporaryDatabase(const Database& db, std::string_view stem = "qano-jet4");
  ~TemporaryDatabase();
  TemporaryDatabase(const TemporaryDatabase&) = delete;
  TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace qano::jet4
