// Start-up as one unit: what the main window runs when it loads, and what the check command runs
// without a window.
#pragma once

#include <string>

#include "platform/platform.h"
#include "startup/record_source_gateway.h"
#include "startup/session_settings.h"
#include "startup/startup_end.h"

namespace qano {

// Runs the whole start-up in order: opens the log, sets the company code, takes the drive letter
// from the drive list's text, writes the start line, checks the master database, resolves the
// paths, loads the settings. Early ends return normally; failures propagate as qano::Failure.
StartupEnd start_up(Platform& platform, SessionSettings& settings, StartupWindowFields& window,
                    RecordSourceGateway& var, const std::string& drive_text);

}  // namespace qano
