// The platform on Windows: files, processes, clock and regional forms of the user's locale,
// message box and drives through the Win32 API, and the Jet engine that the program hands in.
// Every DOS path is the host's own path here.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/host_platform.h"
#include "platform/support/files/numbered_files.h"

namespace qano {

namespace win32 {
// What Windows tells of a file that changes when it is rewritten (size, last write, file index,
// volume), for the retry of torn reads (platform/jet/torn_read_retry.h); nothing when it is not
// there.
std::optional<std::string> file_identity(const std::string& file);
}  // namespace win32

class Win32Platform : public HostPlatform {
 public:
  Win32Platform();
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The engine that query() uses; without one, every query is failure 3000.
  void set_jet_engine(std::unique_ptr<JetEngine> engine);

  // Files (win32_platform.cpp): the system's attributes; Dir matches the wildcards itself, not
  // through the short 8.3 names; in use is a file that another process has open, with any sharing.
  std::vector<std::string> dir_all(const std::string& pattern) override;
  std::optional<FileFacts> file_facts(const std::string& path) override;
  void kill(const std::string& path) override;
  std::vector<Entry> entries(const std::string& pattern) override;
  void remove_entry(const std::string& path) override;
  void clear_read_only(const std::string& path) override;
  // Folders and moves (win32_moves.cpp): a move renames the very file it opened, by its handle.
  bool make_folder(const std::string& path) override;
  void remove_folder(const std::string& path) override;
  Moved move_file(const std::string& from, const std::string& to, bool replace) override;
  std::string move_refusal(const std::string& path) override;
  // Numbered files (win32_numbered.cpp): handles of CreateFileW, each line one WriteFile.
  void open_append(int number, const std::string& path) override;
  void open_output(int number, const std::string& path) override;
  // Nothing when the file's folder, kind and attributes let it be opened.
  std::optional<Failure> open_append_failure(int number, const std::string& path) override;
  void write_line(int number, const std::string& text) override;
  void close_all() override;

  // Processes (win32_process.cpp).
  TaskId shell(const std::string& path, WindowStyle style,
               const std::string& working_folder) override;
  bool still_running(TaskId task) override;
  // The command interpreter that runs batch scripts (default: cmd.exe in the system folder).
  void set_command_interpreter(const std::string& path);

  // Clock and regional forms (win32_regional.cpp): the user's regional settings, the shops'
  // forms where the system gives none.
  Date today() override;
  TimeOfDay time_of_day() override;
  std::string short_date(const Date& date) override;
  std::string long_time(const TimeOfDay& time) override;
  std::string decimal_separator() override;
  std::string thousands_separator() override;
  std::string currency_symbol() override;

  // A named mutex in the Global\ namespace, so that another user session counts too. Claiming
  // again in the same program is granted.
  bool claim_single_instance() override;

  // A box without an owner: a window host shows its own (app/program.h).
  void message_box(const std::string& text) override;

  std::string current_drive() override;
  std::vector<std::string> drives() override;
  std::optional<std::string> drives_note() override;

  JetResult query(const std::string& database, const std::string& sql) override;
  // Without one set, failure 3000.
  JetEngine& jet_engine() override;

 private:
  // The path of numbered file `path`, once `number` is free and its folder exists.
  std::wstring numbered_target(int number, const std::string& path);
  void open_numbered(int number, const std::string& path, bool truncate);
  // Creates a fresh file beside `target` and renames it over whatever stands at that name (the
  // entry itself, a link too, never what a link points to); the open handle, or a failure.
  void* replace_with_fresh_file(const std::wstring& target, const std::string& path);
  // Removes, once per folder and run, the fresh files that an earlier run left in `folder`
  // (ending in "\\").
  void remove_own_leftovers(const std::wstring& folder);
  void reap_children();

  std::unique_ptr<JetEngine> engine_;
  NumberedFiles<void*> open_files_;   // file number -> file handle
  std::map<TaskId, void*> children_;  // task -> process handle, until the process has ended
  std::wstring interpreter_;          // empty: cmd.exe in the system folder
  void* instance_ = nullptr;          // the mutex of claim_single_instance()
  std::set<std::wstring> tidied_;     // folders whose leftover fresh files are gone
};

}  // namespace qano
