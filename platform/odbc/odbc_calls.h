// The ODBC calls' one place where Windows and Linux differ (the character type, the wide or
// narrow calls, the system's drivers), and the driver's diagnostics turned into failures. Shared
// by the engine and its reading of values; not for other callers.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "platform/jet/select_statement.h"
#include "platform/odbc/driver_failures.h"
#include "platform/odbc/odbc_engine.h"

namespace qano::odbc {

#ifdef _WIN32
// Windows' driver manager and the Access driver take and give UTF-16 through the wide calls.
using OdbcChar = SQLWCHAR;
using OdbcText = std::u16string;
inline constexpr SQLSMALLINT kTextData = SQL_C_WCHAR;
#define QANO_ODBC(call) call##W
#else
// unixODBC with the MDBTools driver: its wide calls mangle non-ASCII text, its narrow ones pass
// UTF-8 through unchanged.
using OdbcChar = SQLCHAR;
using OdbcText = std::string;
inline constexpr SQLSMALLINT kTextData = SQL_C_CHAR;
#define QANO_ODBC(call) call##A
#endif

OdbcText to_odbc(const std::string& utf8);
std::string from_odbc(const OdbcText& text);

template <typename T>
OdbcChar* odbc_chars(T* p) {
  return reinterpret_cast<OdbcChar*>(p);
}

// This system's drivers, and the path as the driver gets it (see odbc_engine.h).
std::vector<OdbcDriver> system_drivers();
std::string path_for_driver(const std::string& file, OdbcDialect dialect);

// Every diagnostic record of the handle's last call, in the driver's order.
std::vector<DriverRecord> diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle);

// A failure of the driver that the engine's own checks did not foresee, as the table of the
// driver's answers (driver_failures.h) classifies it.
[[noreturn]] void driver_failure(SQLSMALLINT handle_type, SQLHANDLE handle,
                                 const std::string& doing,
                                 const SelectStatement* statement = nullptr);

}  // namespace qano::odbc
