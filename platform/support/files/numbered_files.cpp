#include "platform/support/files/numbered_files.h"

#include "platform/text.h"

namespace qano {

std::string numbered_line_bytes(const std::string& utf8) {
  return text::to_ansi(utf8) + "\r\n";
}

}  // namespace qano
