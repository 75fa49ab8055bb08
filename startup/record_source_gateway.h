// The data control `var` of the main window: the one reusable query binding through which every
// database read of the program goes. It is pointed at a database file and an SQL text, runs the
// query on Refresh and shows the first row of the result. It never writes and never moves past
// the first row; after its last query it stays bound to it.
//
// Names follow the data control and its recordset. EOF is a C library macro, so the end-of-file
// test is spelled Eof().
#pragma once

#include <string>
#include <utility>

#include "platform/jet/jet.h"
#include "platform/platform.h"

namespace qano {

// One column of the current row.
class DaoField {
 public:
  DaoField(JetField field, bool current) : field_(std::move(field)), current_(current) {}
  const std::string& Name() const { return field_.name; }
  // The value in the current row; without a current row (end of file) 3021 "No current record.".
  const JetValue& Value() const;
  bool IsNull() const { return Value().is_null(); }

 private:
  JetField field_;
  bool current_;
};

// The result of the last query: its first row, or none.
class DaoRecordset {
 public:
  DaoRecordset() = default;
  explicit DaoRecordset(JetResult result) : result_(std::move(result)) {}
  // True when the result has no row.
  bool Eof() const { return result_.eof; }
  // The column of that name, found regardless of case; one that is not there is 3265.
  DaoField Fields(const std::string& name) const;

 private:
  JetResult result_;
};

class RecordSourceGateway {
 public:
  static constexpr const char* kConnect = "Access 2000;";

  explicit RecordSourceGateway(Platform& platform) : platform_(platform) {}

  // Jet databases in Access 2000 format.
  std::string Connect() const { return kConnect; }
  // The full path of the database file (a DOS path), set before every query.
  std::string DatabaseName;
  // The SQL text, passed to the engine unchanged.
  std::string RecordSource;

  // Opens DatabaseName and runs RecordSource; the first row of the result becomes the current
  // row. A failure of the engine propagates, and leaves the control without a recordset.
  void Refresh();
  // The recordset of the last Refresh. Before any successful Refresh there is none: 91.
  const DaoRecordset& Recordset() const;

 private:
  Platform& platform_;
  DaoRecordset recordset_;
  bool bound_ = false;
};

}  // namespace qano
