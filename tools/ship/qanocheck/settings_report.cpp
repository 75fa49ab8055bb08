#include "tools/ship/qanocheck/settings_report.h"

#include <nlohmann/json.hpp>

namespace qano {

std::string quoted(const std::string& utf8) {
  // Bytes that are not UTF-8 show as U+FFFD rather than stopping the report.
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<std::string> settings_lines(const SessionSettings& s, const StartupWindowFields& w) {
  auto text = [](const char* name, const std::string& value) {
    return std::string(name) + "=" + quoted(value);
  };
  auto number = [](const char* name, long long value) {
    return std::string(name) + "=" + std::to_string(value);
  };
  return {
      text("lettera_drive", s.lettera_drive.str()),
      number("utenti_nrpos", s.utenti_nrpos),
      text("utenti_artico", s.utenti_artico.str()),
      number("utenti_fid_rep", s.utenti_fid_rep),
      text("utenti_chiusura", s.utenti_chiusura.str()),
      number("pv_codice", s.pv_codice),
      text("file_log", s.file_log),
      number("utenti_flag_cf", s.utenti_flag_cf),
      number("anno", s.anno),
      number("codice_societa", s.codice_societa),
      text("db_dati", s.db_dati),
      text("db_vendite", s.db_vendite),
      text("cartella_dati", w.cartella_dati),
      text("automa_aaa", w.automa_aaa),
  };
}

std::vector<std::string> archive_lines(const std::vector<intake::ArchiveFate>& fates) {
  std::vector<std::string> lines;
  for (const intake::ArchiveFate& f : fates) {
    std::string line = "archive=" + quoted(f.name);
    if (!f.claim.empty()) line += " claim=" + quoted(f.claim);
    line += std::string(" ") + intake::fate_name(f.fate);
    if (!f.reason.empty()) line += ": " + f.reason;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace qano
