// The parts of a DOS path: "C:\qano\acq_*.zip", "\\server\share\dati.mdb", "\super\x", "x.txt".
#pragma once

#include <string>
#include <vector>

namespace qano {

struct DosPath {
  char drive = 0;                       // lower-case letter, or 0 when the path names none
  bool rooted = false;                  // starts at the root of its drive or share
  std::string unc_server;               // "\\server\share\..." paths: the server ...
  std::string unc_share;                // ... and the share; drive is 0 then
  std::vector<std::string> components;  // the names after the root, empty ones dropped

  bool is_unc() const { return !unc_server.empty(); }
  // The last component (the file or pattern), or empty.
  std::string leaf() const { return components.empty() ? std::string() : components.back(); }
  // The same path without its last component.
  DosPath parent() const;
};

// Splits a DOS path; both "\" and "/" separate components. Blanks and dots at the end of a path
// that does not end in a separator are dropped, as Windows drops them.
DosPath parse_dos_path(const std::string& path);

}  // namespace qano
