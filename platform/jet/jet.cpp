// The names and numbers of what a Jet engine hands back.
#include "platform/jet/jet.h"

namespace qano {

const char* jet_type_name(JetType type) {
  switch (type) {
    case JetType::boolean:
      return "Boolean";
    case JetType::byte:
      return "Byte";
    case JetType::integer:
      return "Integer";
    case JetType::long_integer:
      return "Long Integer";
    case JetType::currency:
      return "Currency";
    case JetType::single:
      return "Single";
    case JetType::double_precision:
      return "Double";
    case JetType::date_time:
      return "Date/Time";
    case JetType::text:
      return "Text";
    case JetType::memo:
      return "Memo";
    case JetType::other:
      return "Other";
  }
  return "Other";
}

double JetValue::as_number() const {
  if (auto* b = std::get_if<bool>(&data_)) return *b ? -1.0 : 0.0;
  if (auto* i = std::get_if<std::int64_t>(&data_)) {
    return type_ == JetType::currency ? static_cast<double>(*i) / 10000.0 : static_cast<double>(*i);
  }
  return std::get<double>(data_);
}

}  // namespace qano
