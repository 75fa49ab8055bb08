#include "startup/record_source_gateway.h"

#include "platform/text.h"

namespace qano {

namespace {
constexpr int kObjectNotSet = 91;
constexpr int kNoCurrentRecord = 3021;
}  // namespace

const JetValue& DaoField::Value() const {
  if (!current_) fail(kNoCurrentRecord, "No current record.");
  return field_.value;
}

DaoField DaoRecordset::Fields(const std::string& name) const {
  for (const JetField& field : result_.fields) {
    if (text::equal_ignoring_case(field.name, name)) return DaoField(field, !result_.eof);
  }
  fail(failure::kItemNotFound, "Item not found in this collection.");
}

void RecordSourceGateway::Refresh() {
  bound_ = false;
  recordset_ = DaoRecordset(platform_.query(DatabaseName, RecordSource));
  bound_ = true;
}

const DaoRecordset& RecordSourceGateway::Recordset() const {
  if (!bound_) fail(kObjectNotSet, "Object variable or With block variable not set");
  return recordset_;
}

}  // namespace qano
