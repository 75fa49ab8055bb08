// The narrow seam between the program and everything outside it: files and numbered text files,
// directory lookup, delete, process start, clock and regional forms, message box, current drive
// and the Jet engine. Every path here is a DOS path ("C:\qano\acq_*.zip"); each implementation
// maps it to its host. Every failure is a qano::Failure with a number and a text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/jet/jet.h"

namespace qano {

struct Date {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const Date&, const Date&) = default;
};

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// Window styles of a started process, with their Windows values.
enum class WindowStyle : int {
  normal = 1,     // SW_SHOWNORMAL
  maximized = 3,  // SW_SHOWMAXIMIZED
};

// The task identifier of a started process.
using TaskId = std::int64_t;

// What the intake needs to know of an arriving file before it takes it.
struct FileFacts {
  std::uint64_t size = 0;
  double seconds_since_write = 0;  // negative when the file's time lies in the future
  // Another process holds it so that it may not be taken or replaced now: held by a script that
  // shell() started (in this run of the program or in an earlier one), open for writing, and on
  // Windows open in another process at all, whatever it shares (Windows refuses to replace a file
  // that is open).
  bool in_use = false;
  // The time of the last write in the platform's own units: the same value for an unchanged file.
  std::int64_t write_stamp = 0;
  bool read_only = false;
  // Whether the platform could not tell if another process writes it: on Linux, a file of another
  // user, whose writer this program may not see. in_use is then false.
  bool use_unknown = false;
};

// Whatever stands at a name in a folder: any kind, any attributes.
enum class EntryKind {
  file,    // a regular file
  folder,  // a folder (never a link to one)
  link,    // a symbolic link or other reparse point, whatever it points to
  other,   // a device, FIFO, socket, ...
};

// An entry as a folder's listing shows it, without looking at the entry itself: file_facts()
// tells more of a file.
struct Entry {
  std::string name;
  EntryKind kind = EntryKind::file;
  bool hidden = false;
  bool system = false;
};

// What became of a move of a file (move_file()).
struct Moved {
  enum class Outcome {
    done,     // the file now stands at the new name
    held,     // another program holds it or what stands at the new name: try again later
    refused,  // it cannot be moved there: not a regular file, a link, unreadable, not allowed
  };
  Outcome outcome = Outcome::done;
  std::string reason;  // why it was not moved, in a few words; empty when done
  bool done() const { return outcome == Outcome::done; }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Files ---------------------------------------------------------------------------------
  // Bare names of the ordinary files (regular, not hidden, not system) matching `pattern`, whose
  // last part may hold * and ?, in case-insensitive name order. Empty when none matches or the
  // folder is missing.
  virtual std::vector<std::string> dir_all(const std::string& pattern) = 0;
  // The first of dir_all(pattern), or empty.
  std::string dir(const std::string& pattern);
  // Size, age and use of an existing file; nothing when it is not there.
  virtual std::optional<FileFacts> file_facts(const std::string& path) = 0;
  // Deletes a file: 53 when it is not there, 76 when its folder is missing.
  virtual void kill(const std::string& path) = 0;
  // Every entry of a folder whose name matches the last part of `pattern` (* and ?) without regard
  // to case: hidden and system files, folders, links and the rest too, in case-insensitive name
  // order. Empty when none matches or the folder is missing.
  virtual std::vector<Entry> entries(const std::string& pattern) = 0;
  // Removes the entry at `path` itself, whatever its attributes (read-only is cleared first): a
  // file, or a link and never what it points to. A folder is never removed (75). 53 when nothing
  // is there, 76 when its folder is missing; every failure names the path.
  virtual void remove_entry(const std::string& path) = 0;
  // Lets the file at `path` be deleted by whoever may write its folder: clears its read-only
  // attribute. Nothing when it has none; a failure names the path.
  virtual void clear_read_only(const std::string& path) = 0;

  // Folders and moves, for a folder of the program's own beside others' files.
  // Makes the folder `path`: true when made, false when any entry already stands at the name (a
  // file, a folder, a link). 76 when its parent is missing, 70 when refused, 61 on a full disk.
  virtual bool make_folder(const std::string& path) = 0;
  // Removes the folder `path` when it is empty and a folder itself, never a link; nothing happens
  // when anything is in it or nothing is there.
  virtual void remove_folder(const std::string& path) = 0;
  // Moves the regular file at `from` to `to`, within one drive, acting only on the very file it
  // found there: a link at `from` is never followed or moved, nor is anything moved that could
  // not be read. With `replace`, a regular file at `to` is replaced (never a folder or a link);
  // without it, any entry at `to` refuses the move. A file another program holds so that it may
  // not be moved is `held`. Out of descriptors or memory is a failure (67, 7).
  virtual Moved move_file(const std::string& from, const std::string& to, bool replace) = 0;
  // Why move_file(path, ...) would refuse the file at `path`, found without moving it: not a
  // regular file, a link, unreadable, in a folder this program may not change, immutable.
  // Empty when nothing stands in the way that can be seen beforehand.
  virtual std::string move_refusal(const std::string& path) = 0;

  // Numbered sequential text files. Opening under a number in use is 55; a folder that is missing
  // is 76; a file that cannot be opened is 75 (70 when access is denied).
  // The last part of the path is never followed when it is a link: that is 75, naming the path.
  virtual void open_append(int number, const std::string& path) = 0;  // created when missing
  // Always a fresh regular file: whatever entry stands at the name (a link itself, never what it
  // points to; every case twin) goes first; a folder there is 75.
  virtual void open_output(int number, const std::string& path) = 0;
  // Writes `text` (UTF-8) as one line in the ANSI code page, ended by CR LF, and hands it to the
  // system at once. A number that is not open is 52.
  virtual void write_line(int number, const std::string& text) = 0;
  // Closes every open numbered file; nothing when none is open.
  virtual void close_all() = 0;

  // --- Processes -----------------------------------------------------------------------------
  // Starts the program or batch script at `path` as a new process with a window style, in
  // `working_folder` (empty: the program's own working directory), and returns at once.
  // A program that is not there is 53. A batch script's file stays held for as long as the
  // script runs, even when this program ends first: file_facts() then reports it in use, here
  // and in any later run of the program.
  virtual TaskId shell(const std::string& path, WindowStyle style,
                       const std::string& working_folder) = 0;
  // Whether a process started by shell() still runs.
  virtual bool still_running(TaskId task) = 0;

  // --- Clock and regional forms --------------------------------------------------------------
  virtual Date today() = 0;
  virtual TimeOfDay time_of_day() = 0;
  virtual std::string short_date(const Date& date) = 0;      // dd/mm/yyyy on the shops' PCs
  virtual std::string long_time(const TimeOfDay& time) = 0;  // HH:MM:SS
  int year(const Date& date) const { return date.year; }
  virtual std::string decimal_separator() = 0;    // "," on the shops' PCs
  virtual std::string thousands_separator() = 0;  // "." on the shops' PCs
  virtual std::string currency_symbol() = 0;      // "€" on the shops' PCs

  // --- One program at a time ---------------------------------------------------------------
  // Claims the right to run for this program, one per machine (per Wine prefix on Linux), for as
  // long as it lives. False when another running program holds it; that program's window is
  // brought to the front where the platform can.
  virtual bool claim_single_instance() = 0;

  // --- User interface ------------------------------------------------------------------------
  // A modal message box with an OK button only, no icon, the title "qanocontrol".
  virtual void message_box(const std::string& text) = 0;

  // --- Drives --------------------------------------------------------------------------------
  // The current drive as the drive list shows it: lower-case letter and colon, "c:".
  virtual std::string current_drive() = 0;
  // Every drive there is, in the same form, in letter order.
  virtual std::vector<std::string> drives() = 0;

  // --- Jet engine ----------------------------------------------------------------------------
  // Opens the database file at `database` (a DOS path), runs `sql` and returns its first row.
  virtual JetResult query(const std::string& database, const std::string& sql) = 0;
};

inline constexpr const char* kProgramName = "qanocontrol";

}  // namespace qano
