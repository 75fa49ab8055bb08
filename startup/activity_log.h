// The day's activity log: file number 2, "C:\super\bkp\logqanocontrol_" + ddmmyyyy + ".txt",
// one line per record, written only by start-up. It has no close of its own: the close-all of
// the intake or of the window's unload releases it.
#pragma once

#include <string>

#include "platform/platform.h"
#include "startup/session_settings.h"

namespace qano {

class ActivityLog {
 public:
  static constexpr int kFileNumber = 2;
  static constexpr const char* kPathPrefix = "C:\\super\\bkp\\logqanocontrol_";

  // The records' texts.
  static constexpr const char* kProgramStarted = "- Avvio programma";
  static constexpr const char* kDatabaseOpened = "- Apro DB  ";
  static constexpr const char* kDataDatabaseFound = "DB OK  ";
  static constexpr const char* kUserSettingsRead = "CONTROLLO DB SUPER OK";
  static constexpr const char* kChecksComplete = "- Controllo  DB  OK";
  static constexpr const char* kCompanyMissing = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ";
  static constexpr const char* kDataDatabaseMissing = "ERRORE : DB NON ESISTE ";

  explicit ActivityLog(Platform& platform) : platform_(platform) {}

  // Names the day's file in settings.file_log and opens it for appending (created when
  // missing). A missing folder is failure 76; the folder is never created.
  void open(SessionSettings& settings);

  // A stamped record: short date, "-", long time, then `literal` (which begins with "- ").
  void stamped(const std::string& literal);
  // "- Apro DB  " + path, stamped; a control character in the path shows as "?", so that one
  // record stays one line.
  void database_opened(const std::string& path);
  // A record without a stamp.
  void plain(const std::string& literal);

 private:
  Platform& platform_;
};

}  // namespace qano
