#include "startup/data_path_resolution.h"

#include <algorithm>

#include "startup/conversions.h"

namespace qano {

namespace {

// At most this many parts of the `database` text are looked at.
constexpr std::size_t kPartsLooked = 11;

bool names_data_file(const std::string& part) {
  std::size_t first = part.find_first_not_of(' ');
  std::string trimmed = first == std::string::npos
                            ? std::string()
                            : part.substr(first, part.find_last_not_of(' ') - first + 1);
  return trimmed == "dati.mdb" || trimmed == "Dati.mdb" || trimmed == "DATI.MDB";
}

}  // namespace

std::vector<std::string> split_at_backslashes(const std::string& text) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find('\\', start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

DataPaths derive_data_paths(const std::string& database, const std::string& drive_letter) {
  std::vector<std::string> parts = split_at_backslashes(database);
  std::string folder;
  bool matched = false;
  for (std::size_t i = 0; i < std::min(parts.size(), kPartsLooked); ++i) {
    if (names_data_file(parts[i])) {
      matched = true;
      break;
    }
    folder += parts[i] + "\\";
  }
  if (!matched && parts.size() < kPartsLooked) {
    // No data file named within the text: the folder of the file it names.
    folder.clear();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + "\\";
  }
  if (folder.empty()) folder = drive_letter + ":\\super\\";
  return DataPaths{folder, folder + "dati.mdb", folder + "vendite.mdb"};
}

std::string company_query(const SessionSettings& settings) {
  return "select * from società where codute = " + std::to_string(settings.codice_societa) + " ";
}

StartupEnd resolve_data_paths(Platform& platform, SessionSettings& settings,
                              StartupWindowFields& window, RecordSourceGateway& var,
                              ActivityLog& log) {
  std::string db_super = master_database_path(settings);
  if (platform.dir(db_super).empty()) {
    platform.message_box("ERRORE : FILE " + db_super + " NON ESISTE ");
    return StartupEnd::master_missing;
  }

  var.DatabaseName = db_super;
  var.RecordSource = company_query(settings);
  var.Refresh();
  if (var.Recordset().Eof()) {
    log.plain(ActivityLog::kCompanyMissing);
    return StartupEnd::company_missing;
  }
  // Read without a Null test: a Null path is 94, the master database is broken.
  std::string database = value_text(var.Recordset().Fields("database").Value(), platform);

  DataPaths paths = derive_data_paths(database, settings.lettera_drive.str());
  window.cartella_dati = paths.cartella_dati;
  settings.db_dati = paths.db_dati;
  settings.db_vendite = paths.db_vendite;
  log.database_opened(settings.db_dati);
  log.database_opened(settings.db_vendite);
  return StartupEnd::complete;
}

}  // namespace qano
