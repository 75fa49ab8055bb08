#include "intake/archive_intake.h"

#include <cstring>

#include "intake/unpack_script.h"

namespace qano {

namespace intake {
bool has_arrived(const FileFacts& facts) {
  if (facts.size == 0 || facts.in_use) return false;
  return facts.seconds_since_write >= kSettleSeconds ||
         facts.seconds_since_write <= -kSettleSeconds;
}
}  // namespace intake

using namespace intake;

std::optional<ArchiveIntake::Choice> ArchiveIntake::choose() {
  for (const std::string& name : platform_.dir_all(kArchivePattern)) {
    if (!can_name_in_script(name)) continue;
    std::optional<FileFacts> facts = platform_.file_facts(kArchiveFolder + name);
    if (!facts || !has_arrived(*facts)) continue;
    std::string aside = set_aside_name(name, platform_.dir_all(set_aside_pattern(name)));
    if (std::strlen(kArchiveFolder) + aside.size() > kMaxPathLength) continue;
    return Choice{name, aside};
  }
  return std::nullopt;
}

void ArchiveIntake::discard_script() {
  try {
    platform_.close_all();
    platform_.kill(kScriptFile);
  } catch (const Failure&) {
    // The failure that cut the script short is the one to report.
  }
}

void ArchiveIntake::run(const std::function<void()>& qano_articoli) {
  if (script_) {
    if (platform_.still_running(*script_)) return;
    script_.reset();
  }
  std::optional<Choice> choice = choose();
  if (!choice) return;

  // What an earlier script unpacked goes first, so that the new script's copy can only succeed
  // with what its own unzip produced.
  if (!platform_.dir(kLeftoverFile).empty()) platform_.kill(kLeftoverFile);

  platform_.open_output(kScriptFileNumber, kScriptFile);
  try {
    for (const std::string& line : unpack_script(choice->archive, choice->set_aside)) {
      platform_.write_line(kScriptFileNumber, line);
    }
  } catch (...) {
    discard_script();
    throw;
  }
  // Closes the script, and the activity log with it when start-up left it open.
  platform_.close_all();

  // In its own folder: "cd c:\qano" changes the folder of drive C: but not the current drive.
  script_ = platform_.shell(kScriptFile, WindowStyle::maximized, kExchangeFolder);
  qano_articoli();
}

}  // namespace qano
