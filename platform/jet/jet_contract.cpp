#include "platform/jet/jet_contract.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "platform/jet/select_statement.h"
#include "platform/text.h"

namespace qano::jet_contract {

namespace {
// A text, and what was said beside it in brackets.
std::string with(const std::string& text, const std::string& said) {
  return said.empty() ? text : text + " (" + said + ")";
}
std::string quoted(const std::string& file) {
  return "'" + file + "'";
}
}  // namespace

Failure unrecognized(const std::string& file, const std::string& said) {
  return Failure(failure::kUnrecognizedFormat,
                 with("Unrecognized database format " + quoted(file) + ".", said));
}

Failure file_not_found(const std::string& file, const std::string& said) {
  return Failure(failure::kCouldNotFindFile,
                 with("Could not find file " + quoted(file) + ".", said));
}

Failure cannot_open(const std::string& file, const std::string& why, const std::string& said) {
  return Failure(kCannotOpen,
                 with("Cannot open the file " + quoted(file) + ": " + why + ".", said));
}

Failure not_a_valid_password(const std::string& file, const std::string& said) {
  return Failure(kNotValidPassword,
                 with("Not a valid password: " + quoted(file) + " has a database password.", said));
}

Failure disk_or_network_error(const std::string& file, const std::string& said) {
  return Failure(kDiskOrNetworkError,
                 with("Disk or network error while opening " + quoted(file) + ".", said));
}

Failure invalid_path(const std::string& file, const std::string& why, const std::string& said) {
  return Failure(
      kInvalidPath,
      with(quoted(file) + " is not a valid path" + (why.empty() ? "" : " " + why) + ".", said));
}

Failure file_in_use(const std::string& file, const std::string& said) {
  return Failure(
      kFileInUse,
      with("Could not use " + quoted(file) + "; file already in use (opened exclusively).", said));
}

Failure not_a_valid_file_name(const std::string& file, const std::string& said) {
  return Failure(kNotValidFileName, with("Not a valid file name: " + quoted(file) + ".", said));
}

Failure table_not_found(const std::string& table) {
  return Failure(failure::kTableNotFound, "Cannot find the input table or query '" + table +
                                              "'. Make sure it exists and that its name is "
                                              "spelled correctly.");
}

Failure too_few_parameters() {
  return Failure(kTooFewParameters, "Too few parameters. Expected 1.");
}

Failure data_type_mismatch() {
  return Failure(kDataTypeMismatch, "Data type mismatch in criteria expression.");
}

Failure syntax_error(const std::string& sql) {
  return Failure(failure::kSyntaxError, "Syntax error in query expression '" + sql + "'.");
}

Failure no_installable_isam(const std::string& said) {
  return Failure(kNoInstallableIsam, with("Could not find installable ISAM.", said));
}

Failure engine_failed(const std::string& said) {
  return Failure(failure::kSqlError, said);
}

Failure driver_failed(const std::string& doing, const std::string& state) {
  return Failure(failure::kSqlError, "The database driver failed " + doing +
                                         (state.empty() ? "" : " (SQLSTATE " + state + ")") + ".");
}

Failure no_engine() {
  return Failure(failure::kSqlError, "No database engine is available.");
}

Failure reader_cannot_start() {
  return Failure(failure::kSqlError, "Cannot start the database reader.");
}

std::filesystem::path native_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void check_database_file(const std::string& file) {
  std::error_code ec;
  std::filesystem::file_status status = std::filesystem::status(native_path(file), ec);
  if (ec == std::errc::permission_denied) throw cannot_open(file);
  if (!std::filesystem::exists(status)) throw file_not_found(file);
  if (!std::filesystem::is_regular_file(status)) throw unrecognized(file, "not a file");
  // Readable by this program: opened once for reading, nothing read. A machine out of
  // descriptors is no fault of the file's.
  errno = 0;
  std::ifstream probe(native_path(file), std::ios::binary);
  if (!probe && (errno == EMFILE || errno == ENFILE)) {
    throw Failure(failure::kTooManyFiles, "Too many files: cannot open " + quoted(file));
  }
  if (!probe) throw cannot_open(file);
}

JetResult run_query(JetEngine& engine, const std::string& file, const std::string& sql) {
  check_database_file(file);
  return engine.first_row(file, parse_select(sql));
}

std::size_t criteria_column(const std::vector<JetField>& columns,
                            const SelectStatement& statement) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!text::equal_ignoring_case(columns[i].name, statement.column)) continue;
    const JetType type = columns[i].value.type();
    const bool text_column = type == JetType::text || type == JetType::memo;
    if (type != JetType::other && text_column != statement.literal.is_text()) {
      throw data_type_mismatch();
    }
    return i;
  }
  throw too_few_parameters();
}

}  // namespace qano::jet_contract
