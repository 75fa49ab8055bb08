#include "platform/odbc/driver_failures.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/support/jet_contract.h"

namespace qano {

namespace {

constexpr int kCouldNotFindFile = failure::kCouldNotFindFile;  // 3024
constexpr int kNotValidPassword = 3031;
constexpr int kDiskOrNetworkError = 3043;
constexpr int kInvalidPath = jet_contract::kInvalidPath;
constexpr int kFileInUse = 3045;
constexpr int kCannotOpen = jet_contract::kCannotOpen;
constexpr int kNotValidFileName = 3055;
constexpr int kTooFewParameters = jet_contract::kTooFewParameters;
constexpr int kSyntaxError = failure::kSyntaxError;                // 3075
constexpr int kTableNotFound = failure::kTableNotFound;            // 3078
constexpr int kUnrecognizedFormat = failure::kUnrecognizedFormat;  // 3343
constexpr int kDataTypeMismatch = jet_contract::kDataTypeMismatch;

enum class Steps { connect, query };

// One answer of the driver: its SQLSTATE (empty: any), and its native error or words of its text
// (either suffices: the native error stays the same in every language of the driver, the words
// serve a driver whose native errors differ). A rule with neither takes the SQLSTATE alone.
struct Rule {
  Steps step;
  std::string_view state;
  long native;
  std::string_view words;  // lower case, found without regard to case
  int number;
};

// The Access driver's answers, from Microsoft's documentation: the SQLSTATEs that
// SQLDriverConnect and SQLExecDirect return (ODBC Programmer's Reference, "SQLDriverConnect
// Function", "SQLExecDirect Function", "Appendix A: ODBC Error Codes"), and the texts and numbers
// of the Jet engine's errors behind them (Access's "Microsoft Jet Database Engine Error
// Messages": 3024, 3031, 3043, 3044, 3045, 3051, 3055, 3343, 3356, 3734, 3050). The driver passes
// Jet's text on with its own native error, a negative number that stays the same in every
// language: -1811 for 3024, -1905 for 3031, -1022 for 3043, -1023 for 3044, -1032 for 3051,
// -1044 for 3055, -1206 for 3343; at query time -1305 for 3078, -3010 for 3061, -3100 for a
// syntax error (the engine's own error codes of the same meaning, as the driver answers them).
// The text is the fallback, in English and, where the Italian driver's words are known, in
// Italian; for 3045, 3050, 3356 and 3734 neither a native error nor the Italian words are
// known, so the English words alone find them.
constexpr Rule kRules[] = {
    // Opening the file.
    {Steps::connect, "", -1811, "could not find file", kCouldNotFindFile},
    {Steps::connect, "28000", 0, "", kNotValidPassword},
    {Steps::connect, "", -1905, "not a valid password", kNotValidPassword},
    // Opened exclusively elsewhere (3045, 3356), or left in a state that keeps others out (3734).
    {Steps::connect, "", 0, "file already in use", kFileInUse},
    {Steps::connect, "", 0, "already opened exclusively by user", kFileInUse},
    {Steps::connect, "", 0, "placed in a state by", kFileInUse},
    // In use, or no permission on the file or on its folder for the lock file (.ldb): 3051 (and
    // the newer driver's "cannot open or write to the file"), 3050 "Could not lock file".
    {Steps::connect, "", -1032, "cannot open the file", kCannotOpen},
    {Steps::connect, "", 0, "cannot open or write to the file", kCannotOpen},
    {Steps::connect, "", 0, "could not lock file", kCannotOpen},
    {Steps::connect, "", -1023, "is not a valid path", kInvalidPath},
    {Steps::connect, "", 0, "isn't a valid path", kInvalidPath},
    {Steps::connect, "", -1044, "not a valid file name", kNotValidFileName},
    {Steps::connect, "", -1022, "disk or network error", kDiskOrNetworkError},
    {Steps::connect, "", -1206, "unrecognized database format", kUnrecognizedFormat},
    {Steps::connect, "", 0, "formato di database non riconosciuto", kUnrecognizedFormat},
    // Running the query. 42000 is "syntax error or access violation": a syntax error only when
    // the driver says so.
    {Steps::query, "42S02", 0, "", kTableNotFound},
    {Steps::query, "", -1305, "", kTableNotFound},
    {Steps::query, "07002", 0, "", kTooFewParameters},
    {Steps::query, "", -3010, "", kTooFewParameters},
    {Steps::query, "22018", 0, "", kDataTypeMismatch},
    {Steps::query, "22005", 0, "", kDataTypeMismatch},
    {Steps::query, "42000", -3100, "syntax", kSyntaxError},
    {Steps::query, "37000", -3100, "syntax", kSyntaxError},
    {Steps::query, "42000", 0, "sintassi", kSyntaxError},
    {Steps::query, "37000", 0, "sintassi", kSyntaxError},
};

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool applies(const Rule& rule, const DriverRecord& record, const std::string& lowered) {
  if (!rule.state.empty() && record.state != rule.state) return false;
  if (rule.native == 0 && rule.words.empty()) return true;
  return (rule.native != 0 && record.native == rule.native) ||
         (!rule.words.empty() && lowered.find(rule.words) != std::string::npos);
}

// A warning (class 01) tells nothing of the failure.
bool is_error(const DriverRecord& r) {
  return r.state.rfind("01", 0) != 0;
}

// The driver's own words, for a failure that carries them beside its classic text.
std::string driver_text(const std::vector<DriverRecord>& records) {
  for (const DriverRecord& r : records) {
    if (is_error(r) && !r.text.empty()) return r.text;
  }
  for (const DriverRecord& r : records) {
    if (!r.text.empty()) return r.text;
  }
  return "";
}

std::string with_driver_text(const std::string& classic, const std::vector<DriverRecord>& records) {
  std::string said = driver_text(records);
  return said.empty() ? classic : classic + " (" + said + ")";
}

Failure mapped(int number, const std::vector<DriverRecord>& records, const DriverContext& c) {
  const std::string file = "'" + c.file + "'";
  switch (number) {
    case kCouldNotFindFile:
      return Failure(number, with_driver_text("Could not find file " + file + ".", records));
    case kNotValidPassword:
      return Failure(
          number,
          with_driver_text("Not a valid password: " + file + " has a database password.", records));
    case kDiskOrNetworkError:
      return Failure(
          number, with_driver_text("Disk or network error while opening " + file + ".", records));
    case kInvalidPath:
      return Failure(number, with_driver_text(file + " is not a valid path.", records));
    case kFileInUse:
      return Failure(number, with_driver_text("Could not use " + file +
                                                  "; file already in use (opened exclusively).",
                                              records));
    case kCannotOpen:
      return Failure(number,
                     with_driver_text("Cannot open the file " + file +
                                          ": it is opened exclusively by another program, or this "
                                          "user may not read it or create its lock file (.ldb) "
                                          "in its folder.",
                                      records));
    case kNotValidFileName:
      return Failure(number, with_driver_text("Not a valid file name: " + file + ".", records));
    case kUnrecognizedFormat:
      return Failure(number,
                     with_driver_text("Unrecognized database format " + file + ".", records));
    case kTableNotFound:
      return Failure(number, "Cannot find the input table or query '" + c.table +
                                 "'. Make sure it exists and that its name is spelled correctly.");
    case kTooFewParameters:
      return Failure(number, "Too few parameters. Expected 1.");
    case kDataTypeMismatch:
      return Failure(number, "Data type mismatch in criteria expression.");
    case kSyntaxError:
      return Failure(number, "Syntax error in query expression '" + c.sql + "'.");
    default:
      return Failure(number, driver_text(records));
  }
}

}  // namespace

Failure driver_failure(const std::vector<DriverRecord>& records, const DriverContext& context) {
  // The MDBTools driver keeps no locks and knows no passwords: when it refuses a file that the
  // engine's own checks let through, it could not read it.
  if (context.step == DriverStep::connect && context.dialect == OdbcDialect::mdbtools) {
    return mapped(kUnrecognizedFormat, records, context);
  }
  if (context.step != DriverStep::other) {
    const Steps step = context.step == DriverStep::connect ? Steps::connect : Steps::query;
    for (const DriverRecord& record : records) {
      const std::string lowered = lower(record.text);
      for (const Rule& rule : kRules) {
        if (rule.step == step && applies(rule, record, lowered)) {
          return mapped(rule.number, records, context);
        }
      }
    }
  }
  std::string said = driver_text(records);
  if (!said.empty()) return Failure(failure::kSqlError, said);
  std::string state;
  for (const DriverRecord& r : records) {
    if (state.empty() && !r.state.empty() && is_error(r)) state = r.state;
  }
  return Failure(failure::kSqlError,
                 "The database driver failed " + context.doing +
                     (context.step == DriverStep::connect ? " '" + context.file + "'" : "") +
                     (state.empty() ? "" : " (SQLSTATE " + state + ")") + ".");
}

bool driver_not_loaded(const std::vector<DriverRecord>& records) {
  // Windows: IM002 (no such driver), IM003 (it cannot be loaded), and the other IM states of the
  // driver manager; unixODBC: 01000 "[unixODBC][Driver Manager]Can't open lib".
  if (records.empty()) return false;
  const DriverRecord& first = records.front();
  return first.state.rfind("IM", 0) == 0 ||
         (first.state == "01000" && first.text.find("[Driver Manager]") != std::string::npos);
}

}  // namespace qano
