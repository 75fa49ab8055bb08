#include "intake/archive_intake.h"

#include <cstring>

#include "intake/unpack_script.h"
#include "platform/text.h"

namespace qano {

namespace intake {
bool has_arrived(const FileFacts& facts) {
  if (facts.size == 0 || facts.in_use) return false;
  return facts.seconds_since_write >= kSettleSeconds ||
         facts.seconds_since_write <= -kSettleSeconds;
}

const char* fate_name(Fate fate) {
  switch (fate) {
    case Fate::next:
      return "next";
    case Fate::waits:
      return "waits";
    case Fate::left:
      return "left";
  }
  return "waits";
}
}  // namespace intake

using namespace intake;

namespace {

// The failure with the path it concerns in its text, for the shop's IT to find the file.
Failure naming(const Failure& f, const std::string& path) {
  if (f.text().find(path) != std::string::npos) return f;
  return Failure(f.number(), f.text() + ": '" + path + "'");
}

// Why an archive with these facts is not there yet; empty when it has arrived.
std::string why_waiting(const FileFacts& facts) {
  if (facts.size == 0) return "it is empty";
  if (facts.in_use) return "another program holds it open";
  if (!has_arrived(facts)) return "it was written less than 2 s ago";
  return "";
}

}  // namespace

void ArchiveIntake::note_ended_script() {
  if (!last_) return;
  std::optional<FileFacts> facts = platform_.file_facts(kArchiveFolder + last_->archive);
  if (facts) {
    // Filed or set aside, it should be gone: taking it again would file it twice.
    unremoved_.push_back({text::fold(last_->archive), facts->size, facts->write_stamp});
  }
  last_.reset();
}

std::optional<std::string> ArchiveIntake::blocked() {
  if (script_) {
    if (platform_.still_running(*script_)) return "the last script still runs";
    script_.reset();
    note_ended_script();
  }
  if (std::optional<FileFacts> held = platform_.file_facts(kScriptFile); held && held->in_use) {
    return std::string(kScriptFile) + " is held by a running script or another program";
  }
  for (const Entry& e : platform_.entries(kLeftoverFile)) {
    if (e.kind == EntryKind::folder) {
      return std::string("a folder stands at ") + kLeftoverFile;
    }
  }
  return std::nullopt;
}

ArchiveIntake::Look ArchiveIntake::look(const std::optional<std::string>& block) {
  Look result;
  for (const std::string& name : platform_.dir_all(kArchivePattern)) {
    ArchiveFate fate{name, Fate::left, ""};
    std::optional<FileFacts> facts;
    std::string aside;
    if (std::string why = why_not_in_script(name); !why.empty()) {
      fate.reason = why;
    } else if (!(facts = platform_.file_facts(kArchiveFolder + name))) {
      continue;  // gone since the folder was read
    } else if (std::string wait = why_waiting(*facts); !wait.empty()) {
      fate = {name, Fate::waits, wait};
    } else {
      std::vector<std::string> taken;
      for (const Entry& e : platform_.entries(set_aside_pattern(name))) taken.push_back(e.name);
      aside = set_aside_name(name, taken);
      std::string folded = text::fold(name);
      bool unremoved = false;
      for (const Unremoved& u : unremoved_) {
        unremoved = unremoved || (u.folded_name == folded && u.size == facts->size &&
                                  u.write_stamp == facts->write_stamp);
      }
      if (std::strlen(kArchiveFolder) + aside.size() > kMaxPathLength) {
        fate.reason = "its set-aside name would not fit in a path";
      } else if (unremoved) {
        fate.reason = "a script filed it or set it aside but could not remove it";
      } else if (block) {
        fate = {name, Fate::waits, *block};
      } else if (result.choice) {
        fate = {name, Fate::waits, "behind " + result.choice->archive};
      } else {
        fate = {name, Fate::next, ""};
        result.choice = Choice{name, aside, *facts};
      }
    }
    result.fates.push_back(std::move(fate));
  }
  return result;
}

std::vector<ArchiveFate> ArchiveIntake::survey() {
  return look(blocked()).fates;
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
  // While blocked, nothing at all is touched, not even looked at.
  if (blocked()) return;
  std::optional<Choice> choice = look(std::nullopt).choice;
  if (!choice) return;
  std::string archive = kArchiveFolder + choice->archive;

  // The script's Del must be able to remove the archive once it is filed.
  if (choice->facts.read_only) platform_.clear_read_only(archive);
  // What an earlier script unpacked goes first, so that the new script's copy can only succeed
  // with what its own unzip produced.
  for (const Entry& e : platform_.entries(kLeftoverFile)) {
    platform_.remove_entry(kArchiveFolder + e.name);
  }

  try {
    platform_.open_output(kScriptFileNumber, kScriptFile);
  } catch (const Failure& f) {
    throw naming(f, kScriptFile);
  }
  try {
    for (const std::string& line : unpack_script(choice->archive, choice->set_aside)) {
      platform_.write_line(kScriptFileNumber, line);
    }
  } catch (const Failure& f) {
    discard_script();
    throw naming(f, kScriptFile);
  } catch (...) {
    discard_script();
    throw;
  }
  // Closes the script, and the activity log with it when start-up left it open.
  platform_.close_all();

  // In its own folder: "cd c:\qano" changes the folder of drive C: but not the current drive.
  script_ = platform_.shell(kScriptFile, WindowStyle::maximized, kExchangeFolder);
  last_ = choice;
  qano_articoli();
}

}  // namespace qano
