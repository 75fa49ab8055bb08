#include "startup/startup.h"

#include "startup/activity_log.h"
#include "startup/data_path_resolution.h"
#include "startup/settings_load.h"

namespace qano {

StartupEnd start_up(Platform& platform, SessionSettings& settings, StartupWindowFields& window,
                    RecordSourceGateway& var, const std::string& drive_text) {
  ActivityLog log(platform);
  log.open(settings);
  settings.codice_societa = 1;
  settings.lettera_drive = drive_text;
  log.stamped(ActivityLog::kProgramStarted);

  StartupEnd end = resolve_data_paths(platform, settings, window, var, log);
  if (end != StartupEnd::complete) return end;
  return load_settings(platform, settings, window, var, log);
}

}  // namespace qano
