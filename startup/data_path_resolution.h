// Finding the data and sales databases: the master database on the drive of the drive list, its
// company row with code 1, and the folder that the row's `database` column names.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "startup/activity_log.h"
#include "startup/record_source_gateway.h"
#include "startup/session_settings.h"
#include "startup/startup_end.h"

namespace qano {

// The parts of a text between its backslashes, empty ones kept; an empty text has none.
std::vector<std::string> split_at_backslashes(const std::string& text);

struct DataPaths {
  std::string cartella_dati;  // ends with "\"
  std::string db_dati;        // cartella_dati + "dati.mdb"
  std::string db_vendite;     // cartella_dati + "vendite.mdb"
};

// The folder of the data database named by `database`. At most the first eleven parts are
// looked at; the first whose trimmed text is "dati.mdb", "Dati.mdb" or "DATI.MDB" ends the folder,
// and the parts before it, each followed by "\", make it. When none of eleven parts matches, the
// folder is those eleven parts. When the text has fewer parts and none matches, the folder is the
// named file's own: every part but the last. An empty folder becomes letter + ":\super\".
DataPaths derive_data_paths(const std::string& database, const std::string& drive_letter);

// The master database check and the first company read: sets cartella_dati, db_dati and
// db_vendite and logs the two database lines. Returns `complete` when start-up goes on,
// `master_missing` after the message box, `company_missing` after its log line.
StartupEnd resolve_data_paths(Platform& platform, SessionSettings& settings,
                              StartupWindowFields& window, RecordSourceGateway& var,
                              ActivityLog& log);

// The company row's query: "select * from società where codute = 1 ".
std::string company_query(const SessionSettings& settings);

}  // namespace qano
