// An in-memory platform for tests: drives and folders, files with their attributes and bytes,
// numbered text files written at once, a settable clock, recorded message boxes and process
// starts, and databases made of tables in memory. It keeps the real platform's rules (case-
// insensitive names, ordinary files only, the same failure numbers) and a journal of every call.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/support/files/numbered_files.h"

namespace qano {

struct FakeAttributes {
  bool hidden = false;
  bool system = false;
  bool read_only = false;
  // This program may not read it, or not move it (an immutable file, another user's file in a
  // folder that keeps its owners' files).
  bool unreadable = false;
  bool immovable = false;
};

class FakePlatform : public Platform {
 public:
  using Attributes = FakeAttributes;
  struct Start {
    std::string path;
    WindowStyle style;
    std::string folder;
    TaskId task;
  };
  struct Table {
    std::string name;
    std::vector<std::pair<std::string, JetType>> columns;
    std::vector<std::vector<JetValue>> rows;
  };

  FakePlatform();

  // --- Setting the scene -----------------------------------------------------------------------
  void add_drive(char letter);
  void add_folder(const std::string& path);  // with every missing parent
  // A file with its bytes (taken as they are, in the ANSI code page); its folder is made too.
  void add_file(const std::string& path, const std::string& bytes = "", Attributes attributes = {});
  // A file's facts as file_facts() reports them (default: its size, written an hour ago).
  void set_facts(const std::string& path, FileFacts facts);
  // An entry of another kind than a file or folder at `path` (a link, a device, ...).
  void add_entry(const std::string& path, EntryKind kind);
  // Whether another program already runs: claim_single_instance() then refuses.
  void set_other_instance(bool running) { other_instance_ = running; }
  void add_database(const std::string& path, std::vector<Table> tables);
  void set_today(Date date) { today_ = date; }
  void set_time(TimeOfDay time) { time_ = time; }
  void set_current_drive(const std::string& drive) { current_drive_ = drive; }
  // When on, started processes keep running until finish() is called for them.
  void set_processes_linger(bool linger) { linger_ = linger; }
  void finish(TaskId task) { running_.erase(task); }
  // A program that shell() refuses to start, as a missing interpreter would.
  void refuse_start(const std::string& path) { refused_.insert(path); }
  // Called before every platform call with its name ("kill", "write_line", ...) and argument;
  // a test makes a call fail by throwing from it.
  std::function<void(const std::string& call, const std::string& argument)> before_call;

  // --- Looking at the outcome ------------------------------------------------------------------
  bool exists(const std::string& path) const;  // a file or other entry, not a folder
  bool folder_exists(const std::string& path) const;
  std::string bytes(const std::string& path) const;  // empty when there is no such file
  std::vector<int> open_numbers() const;
  const std::vector<Start>& starts() const { return starts_; }
  const std::vector<std::string>& message_boxes() const { return message_boxes_; }
  const std::vector<std::pair<std::string, std::string>>& queries() const { return queries_; }
  // Every call in order, as "call argument".
  const std::vector<std::string>& journal() const { return journal_; }
  void clear_journal() { journal_.clear(); }

  // --- The platform ----------------------------------------------------------------------------
  std::vector<std::string> dir_all(const std::string& pattern) override;
  std::optional<FileFacts> file_facts(const std::string& path) override;
  void kill(const std::string& path) override;
  std::vector<Entry> entries(const std::string& pattern) override;
  void remove_entry(const std::string& path) override;
  void clear_read_only(const std::string& path) override;
  bool make_folder(const std::string& path) override;
  void remove_folder(const std::string& path) override;
  Moved move_file(const std::string& from, const std::string& to, bool replace) override;
  std::string move_refusal(const std::string& path) override;
  // Numbered files write into the file's bytes at once.
  void open_append(int number, const std::string& path) override;
  void open_output(int number, const std::string& path) override;
  void write_line(int number, const std::string& text) override;
  void close_all() override;
  TaskId shell(const std::string& path, WindowStyle style,
               const std::string& working_folder) override;
  bool still_running(TaskId task) override;
  // The clock set above; the shops' regional forms.
  Date today() override;
  TimeOfDay time_of_day() override;
  std::string short_date(const Date& date) override;
  std::string long_time(const TimeOfDay& time) override;
  std::string decimal_separator() override;
  std::string thousands_separator() override;
  std::string currency_symbol() override;
  bool claim_single_instance() override;
  void message_box(const std::string& text) override;
  std::string current_drive() override;
  std::vector<std::string> drives() override;
  JetResult query(const std::string& database, const std::string& sql) override;

 private:
  struct Node {
    std::string name;  // as created
    bool folder = false;
    EntryKind kind = EntryKind::file;  // file or folder, unless add_entry() said otherwise
    Attributes attributes;
    std::string bytes;
    std::optional<FileFacts> facts;
    std::vector<Table> tables;
    bool database = false;
  };

  // The key of a path: drive letter, then each component folded, joined by "\".
  std::string key(const std::string& path) const;
  static std::string parent_key(const std::string& key);
  bool has_children(const std::string& key) const;
  void record(const std::string& call, const std::string& argument);
  void open_numbered(int number, const std::string& path, bool truncate);
  Node* find(const std::string& path);
  const Node* find(const std::string& path) const;

  std::map<std::string, Node> nodes_;
  std::set<char> drives_;
  NumberedFiles<std::string> open_;  // number -> key
  std::vector<Start> starts_;
  std::set<TaskId> running_;
  std::map<TaskId, std::string> held_;  // running script -> key of its file
  bool other_instance_ = false;
  std::set<std::string> refused_;
  TaskId next_task_ = 1000;
  bool linger_ = false;
  Date today_{2026, 12, 7};
  TimeOfDay time_{12, 21, 27};
  std::string current_drive_ = "c:";
  std::vector<std::string> message_boxes_;
  std::vector<std::pair<std::string, std::string>> queries_;
  std::vector<std::string> journal_;
};

}  // namespace qano
