// What every Jet engine promises its callers, in one place: the failures of the database engine,
// each with its number and its one text, and the checks that lead to them. The engines
// (mdbtools, ODBC), the reader process that isolates one, the platforms and the in-memory
// platform make their failures only here, so that they fail alike, byte for byte; `said` is what
// a driver or a reader said beside it, shown in brackets after the text.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/jet/jet.h"

namespace qano::jet_contract {

inline constexpr int kNotValidPassword = 3031;
inline constexpr int kDiskOrNetworkError = 3043;
inline constexpr int kInvalidPath = 3044;
inline constexpr int kFileInUse = 3045;
inline constexpr int kCannotOpen = 3051;
inline constexpr int kNotValidFileName = 3055;
inline constexpr int kTooFewParameters = 3061;
inline constexpr int kNoInstallableIsam = 3170;
inline constexpr int kDataTypeMismatch = 3464;

// 3343 "Unrecognized database format '<file>'."
Failure unrecognized(const std::string& file, const std::string& said = "");
// 3024 "Could not find file '<file>'."
Failure file_not_found(const std::string& file, const std::string& said = "");
// 3051 "Cannot open the file '<file>': <why>."
Failure cannot_open(const std::string& file, const std::string& why = "permission denied",
                    const std::string& said = "");
// 3031, 3043, 3044, 3045, 3055: a database password, a disk or network error, a path that is no
// path ("'<file>' is not a valid path <why>."), a file opened exclusively elsewhere, a name that
// is no file name.
Failure not_a_valid_password(const std::string& file, const std::string& said = "");
Failure disk_or_network_error(const std::string& file, const std::string& said = "");
Failure invalid_path(const std::string& file, const std::string& why = "",
                     const std::string& said = "");
Failure file_in_use(const std::string& file, const std::string& said = "");
Failure not_a_valid_file_name(const std::string& file, const std::string& said = "");
// 3078 "Cannot find the input table or query '<table>'. ..."
Failure table_not_found(const std::string& table);
// 3061 "Too few parameters. Expected 1."
Failure too_few_parameters();
// 3464 "Data type mismatch in criteria expression."
Failure data_type_mismatch();
// 3075 "Syntax error in query expression '<sql>'."
Failure syntax_error(const std::string& sql);
// 3170 "Could not find installable ISAM.": no driver could be loaded (`said`: why not).
Failure no_installable_isam(const std::string& said = "");
// 3000: the engine's own words; "The database driver failed <doing> (SQLSTATE <state>)." when
// it said none.
Failure engine_failed(const std::string& said);
Failure driver_failed(const std::string& doing, const std::string& state);
Failure no_engine();
Failure reader_cannot_start();

// A path of the program (UTF-8) as the host's file functions take it.
std::filesystem::path native_path(const std::string& utf8);

// The checks before a file is read, made once per query: 3024 when it is not there, 3051 when
// it cannot be looked at or read, 3343 "(not a file)" when it is a folder or a device.
void check_database_file(const std::string& file);

// A query as every platform runs it: the file checked and the text parsed (3075), once, then
// the engine's first row.
JetResult run_query(JetEngine& engine, const std::string& file, const std::string& sql);

// The column of "column = literal" among a table's columns (found without regard to case, as Jet
// finds it): its index. 3061 when the table has no such column, 3464 when a text literal meets a
// number column or a number literal a text one.
std::size_t criteria_column(const std::vector<JetField>& columns, const SelectStatement& statement);

}  // namespace qano::jet_contract
