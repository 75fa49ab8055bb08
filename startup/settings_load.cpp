#include "startup/settings_load.h"

#include "platform/text.h"
#include "startup/conversions.h"
#include "startup/data_path_resolution.h"

namespace qano {

namespace {

std::string by_code(const std::string& table, const std::string& column,
                    const SessionSettings& settings) {
  return "select * from " + table + " where " + column + " = " +
         std::to_string(settings.codice_societa) + " ";
}

void run(RecordSourceGateway& var, const std::string& database, const std::string& sql) {
  var.DatabaseName = database;
  var.RecordSource = sql;
  var.Refresh();
}

}  // namespace

StartupEnd load_settings(Platform& platform, SessionSettings& settings, StartupWindowFields& window,
                         RecordSourceGateway& var, ActivityLog& log) {
  const std::string db_super = master_database_path(settings);
  settings.anno = static_cast<Integer>(platform.year(platform.today()));

  run(var, db_super, by_code("inizio", "codute", settings));
  if (var.Recordset().Eof()) {
    log.plain(ActivityLog::kCompanyMissing);
    return StartupEnd::inizio_missing;
  }
  log.database_opened(db_super);

  run(var, db_super, company_query(settings));
  if (var.Recordset().Eof()) {
    log.plain(ActivityLog::kCompanyMissing);
    return StartupEnd::company_missing;
  }
  // Read without a Null test: a Null path is 94, the master database is broken.
  settings.db_dati = text::upper(value_text(var.Recordset().Fields("database").Value(), platform));
  if (platform.dir(settings.db_dati).empty()) {
    log.plain(ActivityLog::kDataDatabaseMissing);
    return StartupEnd::data_missing;
  }
  log.plain(ActivityLog::kDataDatabaseFound);

  run(var, settings.db_dati, by_code("automa", "codice", settings));
  window.automa_aaa = "0";
  if (!var.Recordset().Eof()) {
    DaoField aaa = var.Recordset().Fields("aaa");
    if (!aaa.IsNull()) {
      window.automa_aaa =
          number_text(leading_number_of(aaa.Value(), platform), number_forms(platform));
    }
  }

  run(var, settings.db_dati, by_code("utenti", "codutente", settings));
  if (!var.Recordset().Eof()) {
    const DaoRecordset& utenti = var.Recordset();
    if (DaoField nrpos = utenti.Fields("nrpos"); !nrpos.IsNull()) {
      settings.utenti_nrpos = to_long(nrpos.Value(), number_forms(platform));
    }
    if (DaoField artico = utenti.Fields("artico"); !artico.IsNull()) {
      settings.utenti_artico = value_text(artico.Value(), platform);
    }
    if (DaoField chiusura = utenti.Fields("chiusura"); !chiusura.IsNull()) {
      settings.utenti_chiusura = value_text(chiusura.Value(), platform);
    }
    if (DaoField fid_rep = utenti.Fields("fid_rep"); !fid_rep.IsNull()) {
      settings.utenti_fid_rep = round_to_integer(leading_number_of(fid_rep.Value(), platform));
    }
    settings.utenti_flag_cf = kFalse;
    if (DaoField flag_cf = utenti.Fields("Flag_CF"); !flag_cf.IsNull()) {
      if (value_text(flag_cf.Value(), platform) == "S") settings.utenti_flag_cf = kTrue;
    }
  }
  log.plain(ActivityLog::kUserSettingsRead);
  log.stamped(ActivityLog::kChecksComplete);

  run(var, settings.db_dati, "select * from pv where proprio = '1' ");
  if (!var.Recordset().Eof()) {
    // A Null code names no point of sale: the code stays as it was.
    if (DaoField codice = var.Recordset().Fields("codice"); !codice.IsNull()) {
      settings.pv_codice = to_long(codice.Value(), number_forms(platform));
    }
  }
  return StartupEnd::complete;
}

}  // namespace qano
