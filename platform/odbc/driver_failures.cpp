#include "platform/odbc/driver_failures.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/jet/jet_contract.h"

namespace qano {

namespace {

using namespace jet_contract;
constexpr int kCouldNotFindFile = failure::kCouldNotFindFile;      // 3024
constexpr int kSyntaxError = failure::kSyntaxError;                // 3075
constexpr int kTableNotFound = failure::kTableNotFound;            // 3078
constexpr int kUnrecognizedFormat = failure::kUnrecognizedFormat;  // 3343

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

// The classic failure of the number, with the driver's own words beside its text.
Failure mapped(int number, const std::vector<DriverRecord>& records, const DriverContext& c) {
  const std::string said = driver_text(records);
  switch (number) {
    case kCouldNotFindFile:
      return file_not_found(c.file, said);
    case kNotValidPassword:
      return not_a_valid_password(c.file, said);
    case kDiskOrNetworkError:
      return disk_or_network_error(c.file, said);
    case kInvalidPath:
      return invalid_path(c.file, "", said);
    case kFileInUse:
      return file_in_use(c.file, said);
    case kCannotOpen:
      return cannot_open(c.file,
                         "it is opened exclusively by another program, or this user may not read "
                         "it or create its lock file (.ldb) in its folder",
                         said);
    case kNotValidFileName:
      return not_a_valid_file_name(c.file, said);
    case kUnrecognizedFormat:
      return unrecognized(c.file, said);
    case kTableNotFound:
      return table_not_found(c.table);
    case kTooFewParameters:
      return too_few_parameters();
    case kDataTypeMismatch:
      return data_type_mismatch();
    case kSyntaxError:
      return syntax_error(c.sql);
    default:
      return Failure(number, said);
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
  if (!said.empty()) return engine_failed(said);
  std::string state;
  for (const DriverRecord& r : records) {
    if (state.empty() && !r.state.empty() && is_error(r)) state = r.state;
  }
  return driver_failed(
      context.doing + (context.step == DriverStep::connect ? " '" + context.file + "'" : ""),
      state);
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
