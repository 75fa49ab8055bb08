// The Jet engine through ODBC: on Windows the Access driver that ships with the system or with
// Office, on Linux unixODBC with the MDBTools driver. It keeps the mdbtools engine's contract:
// the columns of the first matching row, each with its type and Null state, the same failure
// numbers and texts for the same situations, and it never writes.
//
// The driver runs in the program's own process. The engine checks what it can before handing a
// file to the driver (that the file is there, readable and an Access database, that the table and
// the column exist, that the literal suits the column); it opens the file read-only and shared,
// and maps the driver's refusals to the classic failures through one table (driver_failures.h),
// failure 3000 with the driver's text where none fits.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/jet/jet.h"

namespace qano {

// The two drivers the engine knows, and the ways they differ.
enum class OdbcDialect {
  // "Microsoft Access Driver (*.mdb)" and its successor: Jet itself behind ODBC. It compares
  // "column = literal" the way Jet does, so the engine sends the criteria and reads one row.
  access,
  // Debian's odbc-mdbtools. Its criteria do not follow Jet (texts compare with their case,
  // negative numbers and Bytes above 127 never match, Null matches 0, criteria on Currency or on
  // an unknown column are ignored), so the engine reads the table's rows in order and stops at
  // the first one that matches, as the mdbtools engine does. It reads the file path up to the
  // first ';', into a buffer of 256 bytes, and takes a "DSN" anywhere in the connection string
  // for a data source name: the engine refuses such paths (failure 3044).
  mdbtools,
};

struct OdbcDriver {
  std::string name;  // as registered with the driver manager
  OdbcDialect dialect = OdbcDialect::access;
};

// This system's drivers: on Windows "Microsoft Access Driver (*.mdb)", then
// "Microsoft Access Driver (*.mdb, *.accdb)"; elsewhere "MDBTools".
std::vector<OdbcDriver> default_odbc_drivers();

// The database's path as the engine hands it to the driver (DBQ). On Windows, for the Access
// drivers, a path with characters that the ANSI code page lacks goes as its short (8.3) form;
// without one the engine stops with failure 3044.
std::string odbc_database_path(const std::string& file, OdbcDialect dialect);

struct OdbcOptions {
  // Tried in turn; the next one only when the driver manager cannot load the previous one.
  std::vector<OdbcDriver> drivers = default_odbc_drivers();
  // Leaves the criteria to the MDBTools driver too. For tests only: it lets the query text that
  // the Access driver receives run on Linux, on criteria that the MDBTools driver compares right
  // (a positive whole number, a text without letters).
  bool criteria_to_mdbtools = false;
};

std::unique_ptr<JetEngine> make_odbc_engine(OdbcOptions options = {});

}  // namespace qano
