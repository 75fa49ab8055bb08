// What start-up established, as "name=value" lines: every field of the session settings in the
// record's order, then the window's two fields. A text is a JSON string (a NUL shows as \u0000,
// a backslash doubled), a number is bare (a Boolean is 0 or -1).
#pragma once

#include <string>
#include <vector>

#include "intake/archive_intake.h"
#include "startup/session_settings.h"

namespace qano {

std::vector<std::string> settings_lines(const SessionSettings& settings,
                                        const StartupWindowFields& window);

// One text as it stands on the right of "=".
std::string quoted(const std::string& utf8);

// The archive view: one line per archive, `archive="<name>" next`, or `waits: <reason>`, or
// `left: <reason>`.
std::vector<std::string> archive_lines(const std::vector<intake::ArchiveFate>& fates);

}  // namespace qano
