// Columns and values through ODBC: the Jet type of a column from what the driver says of it, and
// a value of the current row as that type.
#pragma once

#include <optional>
#include <string>

#include "platform/jet/jet.h"
#include "platform/odbc/odbc_calls.h"

namespace qano::odbc {

JetType jet_type(SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT decimals,
                 const std::string& type_name);

// A text column of the current row, in as many parts as it takes; nullopt for Null.
std::optional<std::string> read_text(SQLHSTMT st, SQLUSMALLINT column, const char* doing);

// The column of the current row as a value of `type`.
JetValue read_value(SQLHSTMT st, SQLUSMALLINT column, JetType type);

}  // namespace qano::odbc
