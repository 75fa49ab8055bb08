// What the seam itself does for every platform.
#include "platform/platform.h"

namespace qano {

std::string Platform::dir(const std::string& pattern) {
  std::vector<std::string> names = dir_all(pattern);
  return names.empty() ? std::string() : names.front();
}

}  // namespace qano
