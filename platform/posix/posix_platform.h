// The platform on Linux: DOS paths mapped through a Wine prefix's drive folders, files through
// POSIX calls, processes started through Wine, regional forms from the locale, and the Jet engine
// that the program hands in.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/host_platform.h"
#include "platform/support/files/dos_path.h"
#include "platform/support/files/numbered_files.h"

namespace qano {

struct PosixOptions {
  // The Wine prefix whose dosdevices/<x>: links give the drives. Empty: $WINEPREFIX, else
  // ~/.wine.
  std::string wine_prefix;
  // The locale whose LC_TIME and LC_NUMERIC give the regional forms. Empty: the environment's.
  // Under "C" or "POSIX" the shops' forms apply: dd/mm/yyyy, HH:MM:SS, decimal comma.
  std::string locale;
};

class PosixPlatform : public HostPlatform {
 public:
  explicit PosixPlatform(PosixOptions options = {});
  ~PosixPlatform() override;

  // The engine that query() uses; without one, every query is failure 3000.
  void set_jet_engine(std::unique_ptr<JetEngine> engine);

  // The host path that a DOS path names, matching every existing component case-insensitively;
  // nothing when a folder on the way is missing or the drive is not mapped. The last component
  // is kept as given when no entry matches it.
  std::optional<std::string> native_path(const std::string& dos_path);
  const std::string& wine_prefix() const { return prefix_; }

  // Files (posix_platform.cpp): a name beginning with "." is hidden; a file its owner may not
  // write is read-only, as Wine sees it; in use is a lease refused or a script's lock.
  std::vector<std::string> dir_all(const std::string& pattern) override;
  std::optional<FileFacts> file_facts(const std::string& path) override;
  void kill(const std::string& path) override;
  std::vector<Entry> entries(const std::string& pattern) override;
  void remove_entry(const std::string& path) override;
  void clear_read_only(const std::string& path) override;
  // Folders and moves (posix_moves.cpp): a move is a rename that checks, before and after, that
  // it moved the very file it opened.
  bool make_folder(const std::string& path) override;
  void remove_folder(const std::string& path) override;
  Moved move_file(const std::string& from, const std::string& to, bool replace) override;
  std::string move_refusal(const std::string& path) override;
  // Numbered files (posix_numbered.cpp): descriptors, each line one write().
  void open_append(int number, const std::string& path) override;
  void open_output(int number, const std::string& path) override;
  std::optional<Failure> open_append_failure(int number, const std::string& path) override;
  void write_line(int number, const std::string& text) override;
  void close_all() override;

  TaskId shell(const std::string& path, WindowStyle style,
               const std::string& working_folder) override;
  bool still_running(TaskId task) override;

  // Clock and regional forms (posix_regional.cpp): the local time; LC_TIME's short date and
  // long time, LC_NUMERIC's separators, LC_MONETARY's symbol; the shops' forms under C.
  Date today() override;
  TimeOfDay time_of_day() override;
  std::string short_date(const Date& date) override;
  std::string long_time(const TimeOfDay& time) override;
  std::string decimal_separator() override;
  std::string thousands_separator() override;
  std::string currency_symbol() override;

  // One program per Wine prefix: an abstract socket named after the prefix's real path, which
  // the system releases whenever the program ends.
  bool claim_single_instance() override;

  // The text on standard error: a window host shows its own box (app/program.h).
  void message_box(const std::string& text) override;

  std::string current_drive() override;
  std::vector<std::string> drives() override;
  // Said when the prefix has no dosdevices/x: links.
  std::optional<std::string> drives_note() override;

  // The engine's first row for the host file of `database`; its failures name `database`.
  JetResult query(const std::string& database, const std::string& sql) override;
  // Without one set, failure 3000.
  JetEngine& jet_engine() override;

 private:
  struct Locale;
  // The host path of numbered file `path`, once `number` is free and its folder exists.
  std::string numbered_target(int number, const std::string& path);
  void open_numbered(int number, const std::string& path, bool fresh);
  std::optional<std::string> drive_folder(char letter);
  // Calls `each(host folder, name, the folder's descriptor, the listing's d_type)` for every entry
  // of the folder of `pattern` whose name matches its last part ("." and ".." left out); false
  // when the folder is missing. Out of descriptors or memory is a failure.
  bool scan(
      const std::string& pattern,
      const std::function<void(const std::string&, const std::string&, int, unsigned char)>& each);
  // The host path of `p`; with `folder_only`, every component must be an existing folder.
  std::optional<std::string> resolve(const DosPath& p, bool folder_only);

  std::string prefix_;
  std::unique_ptr<Locale> locale_;
  std::unique_ptr<JetEngine> engine_;
  NumberedFiles<int> open_files_;  // file number -> descriptor
  void reap_children();
  std::map<TaskId, long> children_;  // task -> process id, until it has been reaped
  int instance_socket_ = -1;
};

namespace posix {
// What the status of a host file tells that changes when it is rewritten (size, modification and
// change times, inode), for the retry of torn reads (platform/jet/torn_read_retry.h); nothing when
// it is not there.
std::optional<std::string> file_identity(const std::string& file);
// Whether a regular file is open for writing by another process, or held by a script that a
// program started (the script's lock); unknown when another user may write it unseen. `fd` is
// open on it for reading.
enum class Holding { free, held, unknown };
Holding held_by_others(int fd);
}  // namespace posix

}  // namespace qano
