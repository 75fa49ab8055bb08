#include "platform/support/files/dos_path.h"

#include <cctype>

namespace qano {

namespace {
bool is_separator(char c) {
  return c == '\\' || c == '/';
}
}  // namespace

DosPath DosPath::parent() const {
  DosPath p = *this;
  if (!p.components.empty()) p.components.pop_back();
  return p;
}

DosPath parse_dos_path(const std::string& path) {
  DosPath result;
  std::size_t pos = 0;
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    result.drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    pos = 2;
  } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    // \\server\share\rest
    pos = 2;
    std::size_t end = pos;
    while (end < path.size() && !is_separator(path[end])) ++end;
    result.unc_server = path.substr(pos, end - pos);
    pos = end;
    while (pos < path.size() && is_separator(path[pos])) ++pos;
    end = pos;
    while (end < path.size() && !is_separator(path[end])) ++end;
    result.unc_share = path.substr(pos, end - pos);
    pos = end;
    result.rooted = true;
  }
  if (pos < path.size() && is_separator(path[pos])) result.rooted = true;
  std::string part;
  for (; pos <= path.size(); ++pos) {
    if (pos == path.size() || is_separator(path[pos])) {
      if (!part.empty()) result.components.push_back(part);
      part.clear();
    } else {
      part += path[pos];
    }
  }
  // As Windows does, a path that does not end in a separator loses the blanks and dots at its
  // end: "C:\SUPER\DATI.MDB  " names C:\SUPER\DATI.MDB. A "." or ".." stays a step.
  if (!result.components.empty() && !path.empty() && !is_separator(path.back())) {
    std::string& last = result.components.back();
    if (last != "." && last != "..") {
      last.erase(last.find_last_not_of(". ") + 1);
      if (last.empty()) result.components.pop_back();
    }
  }
  return result;
}

}  // namespace qano
