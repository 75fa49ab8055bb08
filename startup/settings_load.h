// The last stretch of start-up: the company checks on the master database, the data database's
// path and presence, and the settings read from its tables automa, utenti and pv.
#pragma once

#include "platform/platform.h"
#include "startup/activity_log.h"
#include "startup/record_source_gateway.h"
#include "startup/session_settings.h"
#include "startup/startup_end.h"

namespace qano {

// Runs after the paths have been resolved. Returns `complete` when every setting was loaded, or
// the early end with its log line written.
StartupEnd load_settings(Platform& platform, SessionSettings& settings, StartupWindowFields& window,
                         RecordSourceGateway& var, ActivityLog& log);

}  // namespace qano
