// Start-up as one unit: what the main window runs when it loads, and what the check command runs
// without a window.
#pragma once

#include <string>

#include "platform/platform.h"
#include "startup/record_source_gateway.h"
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

// Runs the whole start-up in order: opens the log, sets the company code, takes the drive letter
// from the drive list's text, writes the start line, checks the master database, resolves the
// paths, loads the settings. Early ends return normally; failures propagate as qano::Failure.
StartupEnd start_up(Platform& platform, SessionSettings& settings, StartupWindowFields& window,
                    RecordSourceGateway& var, const std::string& drive_text);

// The master database on the drive of the drive list: letter + ":\team\super.mdb".
std::string master_database_path(const SessionSettings& settings);

}  // namespace qano
