// What every step of start-up shares: how start-up ended, and where the master database is.
#pragma once

#include <string>

#include "startup/session_settings.h"

namespace qano {

// How start-up ended. Every end but `complete` leaves the later settings at their initial values
// and the program running.
enum class StartupEnd {
  complete,
  master_missing,   // no master database on the drive: a message box, nothing logged
  company_missing,  // no company row with code 1, at the first read (path resolution) or at the
                    // second (settings load): the log line says so
  inizio_missing,   // no inizio row with code 1: the same log line
  data_missing,     // the data database named by the company row is not there
};

// The master database on the drive of the drive list: letter + ":\team\super.mdb".
inline std::string master_database_path(const SessionSettings& settings) {
  return settings.lettera_drive.str() + ":\\team\\super.mdb";
}

}  // namespace qano
