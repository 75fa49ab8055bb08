#include "platform/mdbtools/mdbtools_engine.h"

#include "platform/mdbtools/mdbtools_reader.h"

namespace qano {

namespace {

// libmdb on the file, in the process that asks.
class MdbtoolsEngine : public JetEngine {
 public:
  JetResult first_row(const std::string& file, const SelectStatement& query) override {
    return read_first_row(file, query);
  }
};

}  // namespace

std::unique_ptr<JetEngine> make_mdbtools_engine() {
  return std::make_unique<MdbtoolsEngine>();
}

}  // namespace qano
