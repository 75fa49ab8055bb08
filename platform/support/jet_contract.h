// What every Jet engine promises its callers, in one place: the classic failure numbers and texts
// for a missing, unreadable or foreign file, a missing table or column, a literal that does not
// suit its column, and the checks that lead to them. The engines (mdbtools, ODBC) and the process
// that isolates one raise them only through here, so that they fail alike, byte for byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/jet.h"
#include "platform/support/select_statement.h"

namespace qano::jet_contract {

inline constexpr int kInvalidPath = 3044;
inline constexpr int kCannotOpen = 3051;
inline constexpr int kTooFewParameters = 3061;
inline constexpr int kNoInstallableIsam = 3170;
inline constexpr int kDataTypeMismatch = 3464;

// 3343 "Unrecognized database format '<file>'.", with the reason in brackets when there is one.
[[noreturn]] void unrecognized(const std::string& file, const std::string& why = "");
// 3024 "Could not find file '<file>'."
[[noreturn]] void file_not_found(const std::string& file);
// 3051 "Cannot open the file '<file>': permission denied."
[[noreturn]] void cannot_open(const std::string& file);
// 3078 "Cannot find the input table or query '<table>'. ..."
[[noreturn]] void table_not_found(const std::string& table);
// 3061 "Too few parameters. Expected 1."
[[noreturn]] void too_few_parameters();
// 3464 "Data type mismatch in criteria expression."
[[noreturn]] void data_type_mismatch();

// A path of the program (UTF-8) as the host's file functions take it.
std::filesystem::path native_path(const std::string& utf8);

// The checks before a file is read: 3024 when it is not there, 3051 when it cannot be looked at,
// 3343 "(not a file)" when it is a folder or a device.
void check_database_file(const std::string& file);

// The column of "column = literal" among a table's columns (found without regard to case, as Jet
// finds it): its index. 3061 when the table has no such column, 3464 when a text literal meets a
// number column or a number literal a text one.
std::size_t criteria_column(const std::vector<JetField>& columns, const SelectStatement& statement);

}  // namespace qano::jet_contract
