// The platform on Windows: files, processes, clock and regional forms of the user's locale,
// message box and drives through the Win32 API, and the Jet engine that the program hands in.
// Every DOS path is the host's own path here.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace qano {

class Win32Platform : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The engine that query() uses; without one, every query is failure 3000.
  void set_jet_engine(std::unique_ptr<JetEngine> engine);
  // Where message_box() goes: the window host sets a box owned by its window; without one the
  // box has no owner.
  void set_message_box(std::function<void(const std::string&)> show);

  std::vector<std::string> dir_all(const std::string& pattern) override;
  std::optional<FileFacts> file_facts(const std::string& path) override;
  void kill(const std::string& path) override;
  std::vector<Entry> entries(const std::string& pattern) override;
  void remove_entry(const std::string& path) override;
  void clear_read_only(const std::string& path) override;
  void open_append(int number, const std::string& path) override;
  void open_output(int number, const std::string& path) override;
  // What open_append(number, path) would fail with, found without opening, creating or changing
  // anything: nothing when the file's folder, kind and attributes let it be opened.
  std::optional<Failure> open_append_failure(int number, const std::string& path);
  void write_line(int number, const std::string& text) override;
  void close_all() override;

  TaskId shell(const std::string& path, WindowStyle style,
               const std::string& working_folder) override;
  bool still_running(TaskId task) override;
  // The command interpreter that runs batch scripts (default: cmd.exe in the system folder).
  void set_command_interpreter(const std::string& path);

  Date today() override;
  TimeOfDay time_of_day() override;
  std::string short_date(const Date& date) override;
  std::string long_time(const TimeOfDay& time) override;
  std::string decimal_separator() override;
  std::string thousands_separator() override;
  std::string currency_symbol() override;
  std::string upper_case(const std::string& text) override;

  // A named mutex in the Global\ namespace, so that another user session counts too. Claiming
  // again in the same program is granted.
  bool claim_single_instance() override;

  void message_box(const std::string& text) override;

  std::string current_drive() override;
  std::vector<std::string> drives() override;

  JetResult query(const std::string& database, const std::string& sql) override;

 private:
  // The path of numbered file `path`, once `number` is free and its folder exists.
  std::wstring numbered_target(int number, const std::string& path);
  void open_numbered(int number, const std::string& path, bool truncate);
  // Creates a fresh file beside `target` and renames it over whatever stands at that name (the
  // entry itself, a link too, never what a link points to); the open handle, or a failure.
  void* replace_with_fresh_file(const std::wstring& target, const std::string& path);
  void reap_children();

  std::unique_ptr<JetEngine> engine_;
  std::function<void(const std::string&)> message_box_;
  std::map<int, void*> open_files_;   // file number -> file handle
  std::map<TaskId, void*> children_;  // task -> process handle, until the process has ended
  std::wstring interpreter_;          // empty: cmd.exe in the system folder
  void* instance_ = nullptr;          // the mutex of claim_single_instance()
};

}  // namespace qano
