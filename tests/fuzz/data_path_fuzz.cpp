// The data path scan on any `database` text of the company row, and the text services that the
// path then goes through (upper case for the data database, the ANSI code page of the log line).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "startup/data_path_resolution.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool names_data_file(std::string part) {
  part.erase(0, part.find_first_not_of(' '));
  part.erase(part.find_last_not_of(' ') + 1);
  return part == "dati.mdb" || part == "Dati.mdb" || part == "DATI.MDB";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string database(reinterpret_cast<const char*>(data), size);

  // The parts join back into the text.
  std::vector<std::string> parts = qano::split_at_backslashes(database);
  check(parts.empty() == database.empty());
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) joined += (i == 0 ? "" : "\\") + parts[i];
  check(joined == database);

  qano::DataPaths paths = qano::derive_data_paths(database, "c");
  const std::string& folder = paths.cartella_dati;
  check(!folder.empty() && folder.back() == '\\');
  check(paths.db_dati == folder + "dati.mdb");
  check(paths.db_vendite == folder + "vendite.mdb");

  const bool from_text = database.compare(0, folder.size(), folder) == 0 ||
                         (database.size() + 1 == folder.size() && database + "\\" == folder);
  if (from_text) {
    // The folder is the start of the text: at most its first eleven parts, none of them the
    // data file's name, and the first data file's name among them comes right after it.
    // Each part kept is followed by one backslash ("\\" alone keeps one empty part).
    std::vector<std::string> kept = qano::split_at_backslashes(folder.substr(0, folder.size() - 1));
    if (kept.empty()) kept.emplace_back();
    check(kept.size() <= 11);
    for (const std::string& part : kept) check(!names_data_file(part));
    auto first_match = std::find_if(
        parts.begin(), parts.begin() + std::min<std::size_t>(parts.size(), 11), names_data_file);
    if (first_match != parts.begin() + std::min<std::size_t>(parts.size(), 11)) {
      check(static_cast<std::size_t>(first_match - parts.begin()) == kept.size());
    }
  } else {
    check(folder == "c:\\super\\");
    // The default folder: the text names no folder before a data file's name, or none at all.
    check(parts.size() <= 1 || names_data_file(parts[0]));
  }

  // The data database's path in upper case, and the log line in the ANSI code page: any bytes,
  // valid UTF-8 or not, give a text; one byte at most for each byte read.
  std::string upper = qano::text::upper(database);
  std::string ansi = qano::text::to_ansi("- Apro DB  " + paths.db_dati);
  check(ansi.size() <= 11 + paths.db_dati.size());
  check(ansi.find('\n') == std::string::npos || paths.db_dati.find('\n') != std::string::npos);
  if (qano::text::fits_ansi(database)) {
    check(qano::text::from_ansi(qano::text::to_ansi(database)) == database);
  }
  check(upper.empty() == database.empty());
  return 0;
}
