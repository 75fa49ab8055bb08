// What an ODBC driver's refusal means for the program: the diagnostic records of a failed call,
// each with its SQLSTATE, native error and text, mapped through one table to the classic failure
// numbers. The engine uses it on Windows and on Linux alike; it calls no ODBC function itself.
#pragma once

#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/odbc/odbc_engine.h"

namespace qano {

// One diagnostic record, as SQLGetDiagRec gives it.
struct DriverRecord {
  std::string state;  // SQLSTATE, five characters
  long native = 0;    // the driver's own error number (the Access driver: Jet's, negative)
  std::string text;   // empty when the driver gave none worth showing
};

// What the engine was doing when the driver refused.
enum class DriverStep {
  connect,  // SQLDriverConnect on the file
  query,    // running the query itself
  other,    // the catalog, a fetch, reading a value
};

struct DriverContext {
  DriverStep step = DriverStep::other;
  OdbcDialect dialect = OdbcDialect::access;
  std::string file;   // the database as the program named it
  std::string table;  // the query's table
  std::string sql;    // the query as the program wrote it
  std::string doing;  // "running the query", for a refusal that says nothing
};

// The failure that the driver's records stand for: the first record that the table knows gives
// it; otherwise failure 3000 with the driver's own text.
Failure driver_failure(const std::vector<DriverRecord>& records, const DriverContext& context);

// Whether the driver manager could not find or load the driver at all (the next driver is then
// tried; when none is left, failure 3170).
bool driver_not_loaded(const std::vector<DriverRecord>& records);

}  // namespace qano
