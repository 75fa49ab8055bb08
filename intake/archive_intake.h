// elaboro_Divulgazioni: takes one arrived archive C:\qano\acq_*.zip per call. It claims the
// archive first, moving it into a folder of the program's own (claim.h), then writes the unpack
// script C:\qano\agglis.bat for the claimed file (unpack_script.h), closes every open file (the
// activity log too), starts the script in the claim's folder and then the companion program.
//
// Each call is one look: the folder C:\qano is read once, and the archives are taken in
// case-insensitive name order, the first that can be claimed; one that cannot be taken now waits,
// one that never can by rule is left for a person, and neither stops the look. Nothing at all is
// claimed or written while
//   - the script that this intake started last still runs, or agglis.bat is held by a script
//     that an earlier run of the program started, or by another program;
//   - the invoices folder C:\qano\fatture is missing, or something other than a file stands at
//     C:\qano\fatture\acq_var.txt (a folder, a link: the invoices would land inside it or be
//     written through it);
//   - the invoices of the last filing are still in C:\qano\fatture\acq_var.txt, for at most
//     kHoldLooks looks: the suite gets a minute to take them before the next filing replaces them.
//
// Before new archives, each look finishes what scripts left in the program's folder: a claim
// whose script ended in this run with the archive still in its folder did not unpack whole, and
// its archive goes back to C:\qano as errore_<name> for a person; a claim found so at start (the
// program or the machine stopped while its script ran, or before it started) has its script
// written and started again; a claim whose archive is kept but whose invoices are still in its
// folder has them filed by the intake itself; an empty claim's folder goes. Nothing is ever
// unpacked twice into C:\qano\fatture: the invoices are filed only after the archive is kept.
//
// An archive waits while it is half-arrived: empty, held by another process, written within the
// last kSettleSeconds, or, when the platform cannot tell whether its writer still writes (another
// user's upload), until it has stood still, same size and same write time, through a whole look.
// It is left where it is when its name cannot be written into the script, its paths would be too
// long, it is a link, or it could not be moved (unreadable, a folder this program may not change,
// an immutable file).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "intake/claim.h"
#include "platform/platform.h"

namespace qano {

namespace intake {
// An archive written more recently than this may still be arriving.
inline constexpr double kSettleSeconds = 2.0;
// How many looks the next filing waits for the suite to take the last filing's invoices.
inline constexpr int kHoldLooks = 6;

// Whether an archive with these facts has finished arriving, as far as its facts tell. A time
// further in the future than kSettleSeconds was stamped by another clock (a copy that keeps the
// sender's time), not by a write going on now, and counts as settled.
bool has_arrived(const FileFacts& facts);

// What the next intake does with an archive.
enum class Fate {
  next,   // the next intake takes it
  waits,  // a later intake will
  left,   // never, by rule: it is left for a person
};
const char* fate_name(Fate fate);  // "next", "waits", "left"

struct ArchiveFate {
  std::string name;
  Fate fate = Fate::waits;
  std::string reason;  // why it waits or is left, or what is done with a claim; may be empty
  std::string claim;   // the claim's id for an archive already claimed; empty in C:\qano
};
}  // namespace intake

class ArchiveIntake {
 public:
  explicit ArchiveIntake(Platform& platform) : platform_(platform) {}

  // elaboro_Divulgazioni: one look; when it takes an archive, writes and starts the unpack
  // script and finally calls `qano_articoli` (the companion launcher).
  void run(const std::function<void()>& qano_articoli);

  // Every claim in the program's folder and every archive in C:\qano, in the intake's order,
  // with what the next run() would do with each. Changes nothing.
  std::vector<intake::ArchiveFate> survey();

 private:
  // An archive as a look saw it in C:\qano.
  struct Candidate {
    std::string name;
    std::uint64_t size = 0;
    std::int64_t write_stamp = 0;
  };
  struct Look {
    std::vector<Entry> exchange;  // everything in C:\qano, as the look read it once
    std::vector<intake::ArchiveFate> fates;
    std::optional<std::string> block;     // why nothing is claimed or written now
    std::optional<std::string> invoices;  // why no invoices can be filed now
    std::optional<intake::Claim> rerun;   // a claim whose script runs again
    std::vector<Candidate> candidates;    // the archive the look would claim
  };
  // The one place where the intake's rules are applied, for run() and survey() alike. When
  // `acting`, it also finishes what ended scripts left behind.
  Look look(bool acting);
  std::optional<std::string> script_block();
  // Why the program's own folders cannot serve: something other than a folder stands there.
  std::optional<std::string> own_folder_block(const Look& look);
  // Makes the program's own folders where missing; false when they cannot be had.
  bool make_own_folders();
  std::optional<std::string> invoices_block(const Look& look, bool acting);
  void look_at_claims(Look& look, bool acting);
  void look_at_archives(Look& look, bool acting);
  // Whether an archive whose writer cannot be seen has kept its size and time since the last
  // look; a look that acts remembers what it saw.
  bool stood_still(const std::string& name, const FileFacts& facts, bool acting);
  // Forgets what was remembered of archives no longer in C:\qano.
  void forget_gone(const std::vector<Entry>& listing);
  // The claimed archive of an ended script goes back to C:\qano as errore_<name>; the reason
  // when it could not.
  std::optional<std::string> set_aside(const Look& look, const intake::Claim& claim);
  // Why the leftover C:\qano\acq_var.txt holds the look back: another program holds it.
  std::optional<std::string> leftover_block(const Look& look);
  // Removes every entry at C:\qano\acq_var.txt (case twins, links themselves); the reason when
  // one cannot be removed.
  std::optional<std::string> remove_leftovers(const Look& look);
  // Claims the candidate; nothing when it could not be moved (held, or refused: then remembered
  // while it stays unchanged).
  std::optional<intake::Claim> claim_first(const std::vector<Candidate>& candidates);
  std::optional<intake::Claim> new_claim(const std::string& archive);
  void write_script(const intake::Claim& claim);
  // Whether another program holds the file at `path` (file_facts()).
  bool held(const std::string& path);
  // Starts the companion for a claim whose script has started, or owes it when another program
  // holds the companion; an owed start is a file C:\qano\qanocontrol\<id>_<archive>.companion
  // until it is made, once, at a later look.
  void start_companion(const intake::Claim& claim, const std::function<void()>& qano_articoli);
  void owe_companion(const intake::Claim& claim);
  // The owed companions: started with `start` when acting and the companion is free.
  void look_at_owed(Look& look, bool acting, const std::function<void()>& start);
  // Removes a script that could not be written to the end, so that no one runs it later.
  void discard_script();

  Platform& platform_;
  std::optional<TaskId> script_;       // the last script started, until it has ended
  std::optional<intake::Claim> last_;  // the claim of that script
  std::set<std::string> ended_;        // claims whose script ended in this run
  // Archives whose writer cannot be seen, as the last look found them: folded name -> size and
  // write time.
  std::map<std::string, std::pair<std::uint64_t, std::int64_t>> seen_;
  // Archives whose move was refused, unchanged since: folded name -> size, time and why.
  struct Refusal {
    std::uint64_t size = 0;
    std::int64_t write_stamp = 0;
    std::string reason;
  };
  std::map<std::string, Refusal> refused_;
  int hold_looks_ = 0;  // looks that found the last filing's invoices still there
};

}  // namespace qano
