#include "platform/mdbtools/mdbtools_engine.h"

#include <unistd.h>

#include "platform/isolation/isolated_engine.h"
#include "platform/mdbtools/mdbtools_reader.h"
#include "platform/support/jet_contract.h"

namespace qano {

namespace {

// libmdb on the file, in the process that asks: what runs inside the reader process.
class ReaderEngine : public JetEngine {
 public:
  JetResult first_row(const std::string& file, const std::string& sql) override {
    return read_first_row(file, parse_select(sql));
  }
};

// The checks that need no reading (the file is there and readable, the query has the program's
// form) are made in the program itself: a missing file costs no reader process, and does not end
// the reader that a run of queries shares. The reading goes to `reader`, or is done here.
class MdbtoolsEngine : public JetEngine {
 public:
  explicit MdbtoolsEngine(std::unique_ptr<JetEngine> reader) : reader_(std::move(reader)) {}

  JetResult first_row(const std::string& file, const std::string& sql) override {
    jet_contract::check_database_file(file);
    if (::access(file.c_str(), R_OK) != 0) jet_contract::cannot_open(file);
    SelectStatement statement = parse_select(sql);
    if (!reader_) return read_first_row(file, statement);
    return reader_->first_row(file, sql);
  }

 private:
  std::unique_ptr<JetEngine> reader_;
};

}  // namespace

std::unique_ptr<JetEngine> make_mdbtools_engine(MdbtoolsOptions options) {
  if (!options.isolate) return std::make_unique<MdbtoolsEngine>(nullptr);
  IsolationOptions isolation{options.time_limit, options.reader_idle, options.cpu_limit};
  return std::make_unique<MdbtoolsEngine>(
      isolate_engine([] { return std::make_unique<ReaderEngine>(); }, isolation));
}

}  // namespace qano
