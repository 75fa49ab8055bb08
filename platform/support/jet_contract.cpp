#include "platform/support/jet_contract.h"

#include <system_error>

#include "platform/text.h"

namespace qano::jet_contract {

void unrecognized(const std::string& file, const std::string& why) {
  fail(failure::kUnrecognizedFormat,
       "Unrecognized database format '" + file + "'." + (why.empty() ? "" : " (" + why + ")"));
}

void file_not_found(const std::string& file) {
  fail(failure::kCouldNotFindFile, "Could not find file '" + file + "'.");
}

void cannot_open(const std::string& file) {
  fail(kCannotOpen, "Cannot open the file '" + file + "': permission denied.");
}

void table_not_found(const std::string& table) {
  fail(failure::kTableNotFound, "Cannot find the input table or query '" + table +
                                    "'. Make sure it exists and that its name is spelled "
                                    "correctly.");
}

void too_few_parameters() {
  fail(kTooFewParameters, "Too few parameters. Expected 1.");
}

void data_type_mismatch() {
  fail(kDataTypeMismatch, "Data type mismatch in criteria expression.");
}

std::filesystem::path native_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void check_database_file(const std::string& file) {
  std::error_code ec;
  std::filesystem::file_status status = std::filesystem::status(native_path(file), ec);
  if (ec == std::errc::permission_denied) cannot_open(file);
  if (!std::filesystem::exists(status)) file_not_found(file);
  if (!std::filesystem::is_regular_file(status)) unrecognized(file, "not a file");
}

std::size_t criteria_column(const std::vector<JetField>& columns,
                            const SelectStatement& statement) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!text::equal_ignoring_case(columns[i].name, statement.column)) continue;
    const JetType type = columns[i].value.type();
    const bool text_column = type == JetType::text || type == JetType::memo;
    if (type != JetType::other && text_column != statement.literal.is_text()) data_type_mismatch();
    return i;
  }
  too_few_parameters();
}

}  // namespace qano::jet_contract
