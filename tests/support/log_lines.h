// The lines of an activity log as a test compares them: each without its stamp (date and time
// vary), and "cut: ..." for bytes after the last CR LF (a line that was not written whole).
#pragma once

#include <string>
#include <vector>

namespace qano::test {

inline std::vector<std::string> unstamped_log_lines(const std::string& bytes) {
  std::vector<std::string> texts;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) {
      texts.push_back("cut: " + bytes.substr(at));
      break;
    }
    std::string line = bytes.substr(at, end - at);
    if (line.size() > 19 && line[2] == '/' && line[10] == '-') line = line.substr(19);
    texts.push_back(line);
    at = end + 2;
  }
  return texts;
}

// The lines of a complete start-up's log on the demo's shop, without their stamps.
inline std::vector<std::string> complete_start_up_log() {
  return {"- Avvio programma",
          "- Apro DB  C:\\super\\dati.mdb",
          "- Apro DB  C:\\super\\vendite.mdb",
          "- Apro DB  c:\\team\\super.mdb",
          "DB OK  ",
          "CONTROLLO DB SUPER OK",
          "- Controllo  DB  OK"};
}

}  // namespace qano::test
