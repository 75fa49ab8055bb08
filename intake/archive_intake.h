// elaboro_Divulgazioni: takes one arrived archive C:\qano\acq_*.zip per call, writes the unpack
// script C:\qano\agglis.bat for it (see unpack_script.h), closes every open file (the activity
// log too), starts the script in C:\qano and then the companion program.
//
// An archive is taken only when
//   - no script that this intake started earlier still runs (otherwise nothing at all happens:
//     the earlier script may still be reading agglis.bat or unpacking into acq_var.txt);
//   - its name can be written into the script (can_name_in_script) and its set-aside path fits
//     within kMaxPathLength; other archives are left where they are, untouched, for a person;
//   - it is not half-arrived: not empty, not held by another process, not written within the
//     last kSettleSeconds.
// Archives are looked at in case-insensitive name order; the first one that qualifies is taken
// and the others wait for later calls.
//
// A failure while the script is written leaves no script behind: the part written is deleted
// before the failure goes on, and nothing is started.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace qano {

namespace intake {
// An archive written more recently than this may still be arriving.
inline constexpr double kSettleSeconds = 2.0;

// Whether an archive with these facts has finished arriving. A time further in the future than
// kSettleSeconds was stamped by another clock (a copy that keeps the sender's time), not by a
// write going on now, and counts as settled.
bool has_arrived(const FileFacts& facts);
}  // namespace intake

class ArchiveIntake {
 public:
  explicit ArchiveIntake(Platform& platform) : platform_(platform) {}

  // elaboro_Divulgazioni: looks for an arrived archive; when it takes one, writes and starts the
  // unpack script and finally calls `qano_articoli` (the companion launcher).
  void run(const std::function<void()>& qano_articoli);

 private:
  struct Choice {
    std::string archive;
    std::string set_aside;
  };
  std::optional<Choice> choose();
  // Removes a script that could not be written to the end, so that no one runs it later: cut
  // short it might unpack without filing, or end inside its delete line. Closes every open file
  // first; a failure on the way is left unreported for the one that cut the script short.
  void discard_script();

  Platform& platform_;
  std::optional<TaskId> script_;  // the last script started, until it has ended
};

}  // namespace qano
