#include "startup/session_settings.h"

namespace qano {

void OneChar::assign(const std::string& utf8) {
  if (utf8.empty()) {
    value_.assign(1, ' ');
    return;
  }
  // The first character is the lead byte and the continuation bytes (10xxxxxx) after it.
  std::size_t length = 1;
  while (length < utf8.size() && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80) {
    ++length;
  }
  value_ = utf8.substr(0, length);
}

}  // namespace qano
