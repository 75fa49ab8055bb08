// elaboro_Divulgazioni: takes one arrived archive C:\qano\acq_*.zip per call, writes the unpack
// script C:\qano\agglis.bat for it (see unpack_script.h), closes every open file (the activity
// log too), starts the script in C:\qano and then the companion program.
//
// Nothing at all happens while
//   - the script that this intake started last still runs, or agglis.bat is held by a script
//     that an earlier run of the program started, or by another program: the script may still
//     be reading agglis.bat or unpacking into acq_var.txt;
//   - a folder stands at C:\qano\acq_var.txt: the script's copy would file what the folder holds.
// Archives are looked at in case-insensitive name order; the first one that qualifies is taken
// and the others wait for later calls. An archive is left where it is, untouched, for a person,
// when its name cannot be written into the script, its set-aside path would not fit within
// kMaxPathLength, or a script of this run filed it and could not remove it (read-only, held
// without delete sharing) and it has not changed since. It waits while it is half-arrived: empty,
// held by another process, or written within the last kSettleSeconds.
//
// Before the script is written, every leftover at C:\qano\acq_var.txt goes (case twins, links
// and read-only files too, never what a link points to), so that the script's copy can only
// succeed with what its own unzip produced; a read-only archive is made deletable, so that the
// script's Del can remove it once filed. A failure while the script is written leaves no script
// behind: the part written is deleted before the failure goes on, and nothing is started.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qano {

namespace intake {
// An archive written more recently than this may still be arriving.
inline constexpr double kSettleSeconds = 2.0;

// Whether an archive with these facts has finished arriving. A time further in the future than
// kSettleSeconds was stamped by another clock (a copy that keeps the sender's time), not by a
// write going on now, and counts as settled.
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
  std::string reason;  // why it waits or is left; empty for the next one
};
}  // namespace intake

class ArchiveIntake {
 public:
  explicit ArchiveIntake(Platform& platform) : platform_(platform) {}

  // elaboro_Divulgazioni: looks for an arrived archive; when it takes one, writes and starts the
  // unpack script and finally calls `qano_articoli` (the companion launcher).
  void run(const std::function<void()>& qano_articoli);

  // Every archive in C:\qano, in the intake's order, with what the next run() would do with it.
  // Changes nothing.
  std::vector<intake::ArchiveFate> survey();

 private:
  struct Choice {
    std::string archive;
    std::string set_aside;
    FileFacts facts;
  };
  // An archive that a script of this run filed but could not remove, as it was then.
  struct Unremoved {
    std::string folded_name;
    std::uint64_t size = 0;
    std::int64_t write_stamp = 0;
  };
  struct Look {
    std::vector<intake::ArchiveFate> fates;
    std::optional<Choice> choice;
  };
  // The one place where the intake's rules are applied, for run() and survey() alike; `block`
  // is what blocked() said.
  Look look(const std::optional<std::string>& block);
  // Why no archive can be taken now at all; nothing when one can.
  std::optional<std::string> blocked();
  // Once the last script has ended: remembers its archive when it is still there unchanged.
  void note_ended_script();
  // Removes a script that could not be written to the end, so that no one runs it later: cut
  // short it might unpack without filing, or end inside its delete line. Closes every open file
  // first; a failure on the way is left unreported for the one that cut the script short.
  void discard_script();

  Platform& platform_;
  std::optional<TaskId> script_;  // the last script started, until it has ended
  std::optional<Choice> last_;    // the archive of that script
  std::vector<Unremoved> unremoved_;
};

}  // namespace qano
