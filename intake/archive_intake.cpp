#include "intake/archive_intake.h"

#include <algorithm>
#include <cstring>

#include "intake/companion.h"
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

// A machine out of descriptors, memory or processes: no file's fault, and never a reason for one
// file to wait. Every other failure of a file the intake looks after is that file's reason.
bool out_of_resources(const Failure& f) {
  return f.number() == failure::kTooManyFiles || f.number() == failure::kOutOfMemory;
}

const char* kind_name(EntryKind kind) {
  switch (kind) {
    case EntryKind::folder:
      return "a folder";
    case EntryKind::link:
      return "a link";
    case EntryKind::other:
      return "something other than a file";
    case EntryKind::file:
      return "a file";
  }
  return "something";
}

// The one entry of a folder's listing at exactly this path's name, if any (case ignored).
std::optional<Entry> entry_at(Platform& platform, const std::string& path) {
  std::vector<Entry> found = platform.entries(path);
  if (found.empty()) return std::nullopt;
  return found.front();
}

// The entries of a listing of C:\qano named `name` (case ignored).
std::vector<Entry> named(const std::vector<Entry>& listing, std::string_view name) {
  std::vector<Entry> found;
  for (const Entry& e : listing) {
    if (e.name.size() == name.size() && text::equal_ignoring_case(e.name, name)) found.push_back(e);
  }
  return found;
}

constexpr const char* kEverything = "C:\\qano\\*";

}  // namespace

std::optional<std::string> ArchiveIntake::script_block() {
  if (script_) {
    if (platform_.still_running(*script_)) return "the last script still runs";
    script_.reset();
    if (last_) ended_.insert(last_->id);
    last_.reset();
  }
  if (std::optional<FileFacts> held = platform_.file_facts(kScriptFile); held && held->in_use) {
    return std::string(kScriptFile) + " is held by a running script or another program";
  }
  return std::nullopt;
}

std::optional<std::string> ArchiveIntake::own_folder_block(const Look& look) {
  // The program's own folders; never one that others put there as a link or a file.
  std::vector<Entry> work = named(look.exchange, "qanocontrol");
  if (work.empty()) return std::nullopt;
  std::optional<Entry> filed =
      work.front().kind == EntryKind::folder ? entry_at(platform_, kFiledFolder) : std::nullopt;
  for (const auto& [there, folder] : {std::pair{std::optional<Entry>(work.front()), kWorkFolder},
                                      std::pair{filed, kFiledFolder}}) {
    if (there && there->kind != EntryKind::folder) {
      return std::string(kind_name(there->kind)) + " stands at " + folder +
             ", the program's own folder";
    }
  }
  return std::nullopt;
}

bool ArchiveIntake::make_own_folders() {
  try {
    for (const char* folder : {kWorkFolder, kFiledFolder}) {
      if (platform_.make_folder(folder)) continue;
      std::optional<Entry> there = entry_at(platform_, folder);
      if (!there || there->kind != EntryKind::folder) return false;
    }
  } catch (const Failure& f) {
    if (out_of_resources(f)) throw;
    return false;
  }
  return true;
}

std::optional<std::string> ArchiveIntake::invoices_block(const Look& look, bool acting) {
  std::vector<Entry> folders = named(look.exchange, "fatture");
  std::optional<Entry> folder;
  if (!folders.empty()) folder = folders.front();
  if (!folder || folder->kind == EntryKind::file || folder->kind == EntryKind::other) {
    hold_looks_ = 0;
    return std::string("the invoices folder ") + kInvoicesFolder + " is missing";
  }
  bool file_there = false;
  for (const Entry& e : platform_.entries(kInvoices)) {
    if (e.kind != EntryKind::file) {
      hold_looks_ = 0;
      return std::string(kind_name(e.kind)) + " stands at " + kInvoices +
             ": the invoices would not be filed as a file of their own";
    }
    file_there = true;
  }
  if (!file_there) {
    hold_looks_ = 0;
    return std::nullopt;
  }
  // The suite takes the invoices from there; the next filing would replace them. It waits a
  // while for the suite, but never for good: the filed archive stays kept either way.
  if (hold_looks_ >= kHoldLooks) return std::nullopt;
  if (acting) ++hold_looks_;
  return std::string("the invoices of the last filing are still in ") + kInvoices +
         ": the suite has not taken them yet (the next filing waits a minute at most)";
}

std::optional<std::string> ArchiveIntake::set_aside(const Look& look, const Claim& claim) {
  std::vector<std::string> taken;
  text::Wildcard set_aside(set_aside_pattern(claim.archive).substr(std::strlen(kArchiveFolder)));
  for (const Entry& e : look.exchange) {
    if (set_aside.matches(e.name)) taken.push_back(e.name);
  }
  std::string name = set_aside_name(claim.archive, taken);
  Moved moved = platform_.move_file(claim.claimed(), kArchiveFolder + name, false);
  if (!moved.done()) {
    return "it did not unpack whole and cannot be given back as " + (kArchiveFolder + name) + ": " +
           moved.reason;
  }
  try {
    for (const Entry& e : platform_.entries(claim.unpacked())) {
      platform_.remove_entry(claim.folder() + "\\" + e.name);
    }
    platform_.remove_folder(claim.folder());
  } catch (const Failure& f) {
    if (out_of_resources(f)) throw;
    // The archive is back; what it half unpacked stays in the claim's folder, harmless.
  }
  ended_.erase(claim.id);
  return std::nullopt;
}

void ArchiveIntake::look_at_claims(Look& look, bool acting) {
  std::vector<Entry> folders = platform_.entries(std::string(kWorkFolder) + "\\*");
  if (acting) {
    // What this run remembers of claims whose folders have gone.
    std::erase_if(ended_, [&](const std::string& id) {
      return std::none_of(folders.begin(), folders.end(),
                          [&](const Entry& e) { return e.name == id; });
    });
  }
  for (const Entry& folder : folders) {
    if (folder.kind != EntryKind::folder || !is_claim_id(folder.name)) continue;
    std::vector<Entry> archives =
        platform_.entries(std::string(kWorkFolder) + "\\" + folder.name + "\\acq_*.zip");
    Claim claim{folder.name, archives.empty() ? std::string() : archives.front().name};
    bool unpacked = !platform_.entries(claim.unpacked()).empty();
    ArchiveFate fate{claim.archive, Fate::waits, "", claim.id};
    if (archives.size() > 1 || (!archives.empty() && archives.front().kind != EntryKind::file)) {
      fate = {claim.archive, Fate::left,
              "the claim's folder holds something other than its archive", claim.id};
    } else if (look.block) {
      fate.reason = *look.block;
    } else if (!archives.empty()) {
      if (ended_.count(claim.id) != 0) {
        // Its script ended, and the archive was not kept: the unzip failed.
        std::optional<std::string> why =
            acting ? set_aside(look, claim)
                   : std::optional<std::string>(
                         "it did not unpack whole: it goes back to C:\\qano "
                         "as errore_" +
                         claim.archive);
        if (!why) continue;
        fate = {claim.archive, Fate::waits, *why, claim.id};
      } else if (look.rerun) {
        fate.reason = "behind the claim " + look.rerun->id;
      } else {
        // Claimed by an earlier run whose script did not end its work: nothing of it was filed.
        look.rerun = claim;
        std::string again = "claimed before, its unpacking did not end: it is unpacked again";
        fate = look.invoices ? ArchiveFate{claim.archive, Fate::waits,
                                           again + "; " + *look.invoices, claim.id}
                             : ArchiveFate{claim.archive, Fate::next, again, claim.id};
      }
    } else if (unpacked) {
      // The archive is gone from the claim's folder: kept among the filed ones, or taken away.
      std::vector<Entry> filed =
          platform_.entries(std::string(kFiledFolder) + "\\" + claim.id + "_acq_*.zip");
      if (filed.empty() || filed.front().kind != EntryKind::file) {
        fate = {kInvoicesName, Fate::left,
                "acq_var.txt is in the claim's folder but its archive is not kept: left for a "
                "person",
                claim.id};
      } else if (look.invoices) {
        fate = {filed.front().name, Fate::waits, "its invoices are to be filed; " + *look.invoices,
                claim.id};
      } else if (!acting) {
        fate = {filed.front().name, Fate::next, "its invoices are filed", claim.id};
      } else {
        Moved moved = platform_.move_file(claim.unpacked(), kInvoices, true);
        if (moved.done()) {
          platform_.remove_folder(claim.folder());
          // These invoices get their own minute before the next filing replaces them.
          hold_looks_ = 0;
          look.invoices = invoices_block(look, acting);
          continue;
        }
        fate = {
            filed.front().name, Fate::waits,
            std::string("its invoices cannot be filed in ") + kInvoices + " yet: " + moved.reason,
            claim.id};
      }
      // While invoices wait to be filed, no other archive is claimed: they would meet in
      // C:\qano\fatture.
      if (!look.block) look.block = "the invoices of claim " + claim.id + " are to be filed first";
    } else {
      // Filed and done: the folder has served.
      if (acting) platform_.remove_folder(claim.folder());
      continue;
    }
    look.fates.push_back(std::move(fate));
  }
}

void ArchiveIntake::look_at_archives(Look& look, bool acting) {
  static const text::Wildcard archives(
      std::string_view(kArchivePattern).substr(std::string_view(kArchivePattern).rfind('\\') + 1));
  for (const Entry& e : look.exchange) {
    if (!archives.matches(e.name)) continue;
    // Only ordinary files are incoming archives, as the classic lookup sees them; a link among
    // them is shown, never followed.
    if (e.hidden || e.system || e.kind == EntryKind::folder || e.kind == EntryKind::other) continue;
    ArchiveFate fate{e.name, Fate::left, "", ""};
    std::string path = kArchiveFolder + e.name;
    std::optional<FileFacts> facts;
    if (e.kind == EntryKind::link) {
      fate.reason = "it is a link: what it points to is not the exchange folder's";
    } else if (std::string why = why_not_in_script(e.name); !why.empty()) {
      fate.reason = why;
    } else if (longest_claim_path(e.name) > kMaxPathLength) {
      fate.reason = "its name is too long for the paths of its claim";
    } else if (!look.candidates.empty()) {
      // The look stops at the first archive it can take; the others wait for later looks.
      fate = {e.name, Fate::waits, "behind " + look.candidates.front().name, ""};
    } else if (!(facts = platform_.file_facts(path))) {
      continue;  // gone since the folder was read
    } else if (facts->size == 0) {
      fate = {e.name, Fate::waits, "it is empty", ""};
    } else if (!has_arrived(*facts) && !facts->in_use) {
      fate = {e.name, Fate::waits, "it was written less than 2 s ago", ""};
    } else if (auto refused = refused_.find(text::fold(e.name));
               refused != refused_.end() && refused->second.size == facts->size &&
               refused->second.write_stamp == facts->write_stamp) {
      fate.reason = refused->second.reason;
    } else if (std::string refusal = platform_.move_refusal(path); !refusal.empty()) {
      fate.reason = refusal;
    } else if (facts->in_use) {
      fate = {e.name, Fate::waits, "another program holds it open", ""};
    } else if (!stood_still(e.name, *facts, acting)) {
      // Another user's writer cannot be seen: the file must stand still through a whole look.
      fate = {e.name, Fate::waits,
              "its writer cannot be seen: it is taken once it has stood still through a whole look",
              ""};
    } else if (look.block) {
      fate = {e.name, Fate::waits, *look.block, ""};
    } else {
      fate = {e.name, Fate::next, "", ""};
      look.candidates.push_back({e.name, facts->size, facts->write_stamp});
    }
    look.fates.push_back(std::move(fate));
  }
  if (acting) forget_gone(look.exchange);
}

bool ArchiveIntake::stood_still(const std::string& name, const FileFacts& facts, bool acting) {
  if (!facts.use_unknown) return true;
  std::pair<std::uint64_t, std::int64_t> now{facts.size, facts.write_stamp};
  auto seen = seen_.find(text::fold(name));
  if (seen != seen_.end() && seen->second == now) return true;
  if (acting) seen_[text::fold(name)] = now;
  return false;
}

void ArchiveIntake::forget_gone(const std::vector<Entry>& listing) {
  if (seen_.empty() && refused_.empty()) return;
  std::set<std::string> present;
  for (const Entry& e : listing) present.insert(text::fold(e.name));
  std::erase_if(seen_, [&](const auto& kv) { return present.count(kv.first) == 0; });
  std::erase_if(refused_, [&](const auto& kv) { return present.count(kv.first) == 0; });
}

ArchiveIntake::Look ArchiveIntake::look(bool acting) {
  Look result;
  // C:\qano is read once for the whole look.
  result.exchange = platform_.entries(kEverything);
  result.block = script_block();
  if (!result.block) result.block = own_folder_block(result);
  if (!result.block) result.block = leftover_block(result);
  // Once per look, blocked or not: the suite's minute runs on while a script runs.
  result.invoices = invoices_block(result, acting);
  look_at_claims(result, acting);
  if (!result.block) result.block = result.invoices;
  if (result.rerun && !result.block) {
    // A claim to unpack again comes before any new archive.
    result.block = "behind the claim " + result.rerun->id;
    look_at_archives(result, false);
    result.block.reset();
  } else {
    look_at_archives(result, acting);
  }
  return result;
}

std::vector<ArchiveFate> ArchiveIntake::survey() {
  Look owed;
  look_at_owed(owed, false, [] {});
  std::vector<ArchiveFate> fates = std::move(owed.fates);
  for (ArchiveFate& f : look(false).fates) fates.push_back(std::move(f));
  return fates;
}

std::optional<std::string> ArchiveIntake::leftover_block(const Look& look) {
  for (const Entry& e : named(look.exchange, kInvoicesName)) {
    if (e.kind == EntryKind::file && held(kArchiveFolder + e.name)) {
      return kArchiveFolder + e.name + " is held by another program";
    }
  }
  return std::nullopt;
}

std::optional<std::string> ArchiveIntake::remove_leftovers(const Look& look) {
  // What an earlier run of the program unpacked into C:\qano, never a folder's contents.
  try {
    for (const Entry& e : named(look.exchange, kInvoicesName)) {
      if (e.kind != EntryKind::folder) platform_.remove_entry(kArchiveFolder + e.name);
    }
  } catch (const Failure& f) {
    if (out_of_resources(f)) throw;
    return f.text();
  }
  return std::nullopt;
}

std::optional<Claim> ArchiveIntake::new_claim(const std::string& archive) {
  Date date = platform_.today();
  TimeOfDay time = platform_.time_of_day();
  // Unique among the kept archives too: the clock may repeat an hour, or the program start again
  // within the same second.
  std::string second = claim_id(date, time, 1);
  std::set<std::string> kept;
  for (const Entry& e : platform_.entries(std::string(kFiledFolder) + "\\" + second + "*_*")) {
    kept.insert(e.name.substr(0, e.name.find('_')));
  }
  for (int serial = 1; serial <= kLastSerial; ++serial) {
    Claim claim{claim_id(date, time, serial), archive};
    if (kept.count(claim.id) == 0 && platform_.make_folder(claim.folder())) return claim;
  }
  return std::nullopt;
}

std::optional<Claim> ArchiveIntake::claim_first(const std::vector<Candidate>& candidates) {
  for (const Candidate& c : candidates) {
    std::optional<Claim> claim;
    try {
      claim = new_claim(c.name);
    } catch (const Failure& f) {
      if (out_of_resources(f)) throw;
    }
    if (!claim) return std::nullopt;
    Moved moved = platform_.move_file(kArchiveFolder + c.name, claim->claimed(), false);
    if (moved.done()) return claim;
    platform_.remove_folder(claim->folder());
    if (moved.outcome == Moved::Outcome::refused) {
      refused_[text::fold(c.name)] = {c.size, c.write_stamp, moved.reason};
    }
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

void ArchiveIntake::write_script(const Claim& claim) {
  try {
    platform_.open_output(kScriptFileNumber, kScriptFile);
  } catch (const Failure& f) {
    throw naming(f, kScriptFile);
  }
  try {
    for (const std::string& line : unpack_script(claim)) {
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
}

bool ArchiveIntake::held(const std::string& path) {
  std::optional<FileFacts> facts = platform_.file_facts(path);
  return facts && facts->in_use;
}

void ArchiveIntake::start_companion(const Claim& claim,
                                    const std::function<void()>& qano_articoli) {
  // Held by another program (the suite's updater): owed, and started at a later look.
  if (held(kCompanionProgram)) return owe_companion(claim);
  try {
    qano_articoli();
  } catch (const Failure& f) {
    if (out_of_resources(f) || !held(kCompanionProgram)) throw;
    owe_companion(claim);
  }
}

void ArchiveIntake::owe_companion(const Claim& claim) {
  // On disk, so that a start owed is neither lost nor made twice when the program stops.
  std::string marker = std::string(kWorkFolder) + "\\" + claim.filed_name() + kOwedSuffix;
  platform_.open_output(kScriptFileNumber, marker);
  platform_.write_line(kScriptFileNumber, claim.archive);
  platform_.close_all();
}

void ArchiveIntake::look_at_owed(Look& look, bool acting, const std::function<void()>& start) {
  for (const Entry& e : platform_.entries(std::string(kWorkFolder) + "\\*" + kOwedSuffix)) {
    if (e.kind != EntryKind::file) continue;
    std::string marker = std::string(kWorkFolder) + "\\" + e.name;
    std::string filed = e.name.substr(0, e.name.size() - std::strlen(kOwedSuffix));
    std::size_t cut = filed.find('_');
    ArchiveFate fate{filed.substr(cut == std::string::npos ? 0 : cut + 1), Fate::next,
                     std::string("its companion ") + kCompanionProgram + " is started",
                     filed.substr(0, cut)};
    if (platform_.dir(kCompanionProgram).empty()) {
      // The companion has gone: there is nothing to start, as for any archive.
      if (acting) platform_.remove_entry(marker);
      continue;
    }
    if (held(kCompanionProgram)) {
      fate.fate = Fate::waits;
      fate.reason = std::string("its companion ") + kCompanionProgram +
                    " is held by another program: it is started once it is free";
    } else if (acting) {
      try {
        start();
      } catch (const Failure& f) {
        if (out_of_resources(f) || !held(kCompanionProgram)) throw;
        continue;
      }
      platform_.remove_entry(marker);
      continue;
    }
    look.fates.push_back(std::move(fate));
  }
}

void ArchiveIntake::run(const std::function<void()>& qano_articoli) {
  {
    // The companions owed to earlier archives first, each once.
    Look owed;
    look_at_owed(owed, true, qano_articoli);
  }
  Look now = look(true);
  // While blocked, nothing is claimed or written.
  if (now.block) return;
  std::optional<Claim> claim = now.rerun;
  if (claim) {
    // What an interrupted unzip left goes, so that the unzip starts afresh.
    for (const Entry& e : platform_.entries(claim->unpacked())) {
      platform_.remove_entry(claim->folder() + "\\" + e.name);
    }
  } else {
    if (now.candidates.empty()) return;
    // The classic leftover goes first; one that cannot go holds the look back.
    if (remove_leftovers(now) || !make_own_folders()) return;
    claim = claim_first(now.candidates);
    if (!claim) return;
  }
  seen_.erase(text::fold(claim->archive));
  refused_.erase(text::fold(claim->archive));

  try {
    write_script(*claim);
  } catch (const Failure& f) {
    // Taken by another program in the meantime: the claim waits in its folder for a later look.
    if (!out_of_resources(f) && held(kScriptFile)) return;
    throw;
  }
  // In the claim's folder, where the unzip writes: "cd" in the script changes the folder of
  // drive C: but not the current drive.
  script_ = platform_.shell(kScriptFile, WindowStyle::maximized, claim->folder());
  last_ = claim;
  hold_looks_ = 0;  // the invoices it files get their own minute
  start_companion(*claim, qano_articoli);
}

}  // namespace qano
