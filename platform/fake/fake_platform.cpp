#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/jet/jet_contract.h"
#include "platform/jet/select_statement.h"
#include "platform/support/files/dos_path.h"
#include "platform/support/files/name_order.h"
#include "platform/support/regional/regional_fallback.h"
#include "platform/text.h"

namespace qano {

namespace {
std::string lower_drive(char letter) {
  return std::string(1, letter) + ":";
}
}  // namespace

FakePlatform::FakePlatform() : open_([](std::string&) {}) {
  add_drive('c');
}

void FakePlatform::add_drive(char letter) {
  drives_.insert(letter);
  Node& n = nodes_[lower_drive(letter)];
  n.name = lower_drive(letter);
  n.folder = true;
}

std::string FakePlatform::key(const std::string& path) const {
  DosPath p = parse_dos_path(path);
  std::string k;
  if (p.is_unc()) {
    k = "\\\\" + text::fold(p.unc_server) + "\\" + text::fold(p.unc_share);
  } else {
    k = lower_drive(p.drive != 0 ? p.drive : current_drive_[0]);
  }
  for (const std::string& c : p.components) k += "\\" + text::fold(c);
  return k;
}

std::string FakePlatform::parent_key(const std::string& k) {
  std::size_t at = k.rfind('\\');
  return at == std::string::npos || at < 2 ? std::string() : k.substr(0, at);
}

FakePlatform::Node* FakePlatform::find(const std::string& path) {
  auto it = nodes_.find(key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

const FakePlatform::Node* FakePlatform::find(const std::string& path) const {
  auto it = nodes_.find(key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

void FakePlatform::add_folder(const std::string& path) {
  DosPath p = parse_dos_path(path);
  if (p.is_unc()) {
    std::string k = "\\\\" + text::fold(p.unc_server) + "\\" + text::fold(p.unc_share);
    Node& share = nodes_[k];
    share.name = p.unc_share;
    share.folder = true;
  }
  std::string built = p.is_unc() ? "\\\\" + p.unc_server + "\\" + p.unc_share
                                 : lower_drive(p.drive != 0 ? p.drive : current_drive_[0]);
  for (const std::string& c : p.components) {
    built += "\\" + c;
    Node& n = nodes_[key(built)];
    n.name = c;
    n.folder = true;
  }
}

void FakePlatform::add_file(const std::string& path, const std::string& bytes,
                            Attributes attributes) {
  DosPath p = parse_dos_path(path);
  std::string folder =
      path.substr(0, path.find_last_of("\\/") == std::string::npos ? 0 : path.find_last_of("\\/"));
  if (!folder.empty()) add_folder(folder);
  Node& n = nodes_[key(path)];
  n = Node{};
  n.name = p.leaf();
  n.attributes = attributes;
  n.bytes = bytes;
}

void FakePlatform::add_entry(const std::string& path, EntryKind kind) {
  add_file(path);
  find(path)->kind = kind;
}

void FakePlatform::set_facts(const std::string& path, FileFacts facts) {
  if (Node* n = find(path)) n->facts = facts;
}

void FakePlatform::add_database(const std::string& path, std::vector<Table> tables) {
  add_file(path, "Standard Jet DB");
  Node* n = find(path);
  n->database = true;
  n->tables = std::move(tables);
}

bool FakePlatform::exists(const std::string& path) const {
  const Node* n = find(path);
  return n != nullptr && !n->folder;
}

bool FakePlatform::folder_exists(const std::string& path) const {
  const Node* n = find(path);
  return n != nullptr && n->folder;
}

bool FakePlatform::has_children(const std::string& k) const {
  auto it = nodes_.upper_bound(k + "\\");
  return it != nodes_.end() && it->first.rfind(k + "\\", 0) == 0;
}

std::string FakePlatform::bytes(const std::string& path) const {
  const Node* n = find(path);
  return n == nullptr ? std::string() : n->bytes;
}

std::vector<int> FakePlatform::open_numbers() const {
  std::vector<int> numbers;
  for (const auto& [number, k] : open_.all()) numbers.push_back(number);
  return numbers;
}

void FakePlatform::record(const std::string& call, const std::string& argument) {
  journal_.push_back(argument.empty() ? call : call + " " + argument);
  if (before_call) before_call(call, argument);
}

// --- Files -----------------------------------------------------------------------------------

std::vector<std::string> FakePlatform::dir_all(const std::string& pattern) {
  record("dir", pattern);
  std::vector<std::string> names;
  std::string folder = parent_key(key(pattern));
  auto f = nodes_.find(folder);
  if (f == nodes_.end() || !f->second.folder) return {};
  text::Wildcard wildcard(parse_dos_path(pattern).leaf());
  for (const auto& [k, n] : nodes_) {
    if (n.folder || n.attributes.hidden || n.attributes.system) continue;
    if (parent_key(k) != folder || !wildcard.matches(n.name)) continue;
    names.push_back(n.name);
  }
  sort_names(names);
  return names;
}

std::optional<FileFacts> FakePlatform::file_facts(const std::string& path) {
  record("file_facts", path);
  const Node* n = find(path);
  if (n == nullptr || n->folder || n->kind != EntryKind::file) return std::nullopt;
  FileFacts facts;
  if (n->facts) {
    facts = *n->facts;
  } else {
    facts.size = n->bytes.size();
    facts.seconds_since_write = 3600.0;
  }
  facts.read_only = n->attributes.read_only;
  for (const auto& [task, held] : held_) {
    if (held == key(path) && running_.count(task) != 0) facts.in_use = true;
  }
  return facts;
}

std::vector<Entry> FakePlatform::entries(const std::string& pattern) {
  record("entries", pattern);
  std::vector<Entry> found;
  std::string folder = parent_key(key(pattern));
  auto f = nodes_.find(folder);
  if (f == nodes_.end() || !f->second.folder) return {};
  text::Wildcard wildcard(parse_dos_path(pattern).leaf());
  for (const auto& [k, n] : nodes_) {
    if (parent_key(k) != folder || !wildcard.matches(n.name)) continue;
    found.push_back(Entry{n.name, n.folder ? EntryKind::folder : n.kind, n.attributes.hidden,
                          n.attributes.system});
  }
  sort_entries(found);
  return found;
}

void FakePlatform::remove_entry(const std::string& path) {
  record("remove_entry", path);
  std::string k = key(path);
  auto parent = nodes_.find(parent_key(k));
  if (parent == nodes_.end() || !parent->second.folder) {
    fail(failure::kPathNotFound, "Path not found: cannot delete '" + path + "'");
  }
  auto it = nodes_.find(k);
  if (it == nodes_.end()) fail(failure::kFileNotFound, "File not found: '" + path + "'");
  bool open = false;
  for (const auto& [number, open_key] : open_.all()) open = open || open_key == k;
  if (it->second.folder || open) {
    fail(failure::kPathFileAccessError, "Path/File access error: cannot delete '" + path + "'");
  }
  nodes_.erase(it);
}

void FakePlatform::clear_read_only(const std::string& path) {
  record("clear_read_only", path);
  Node* n = find(path);
  if (n == nullptr) fail(failure::kFileNotFound, "File not found: '" + path + "'");
  n->attributes.read_only = false;
}

bool FakePlatform::make_folder(const std::string& path) {
  record("make_folder", path);
  std::string k = key(path);
  auto parent = nodes_.find(parent_key(k));
  if (parent == nodes_.end() || !parent->second.folder) {
    fail(failure::kPathNotFound, "Path not found: cannot make '" + path + "'");
  }
  if (nodes_.count(k) != 0) return false;
  Node& n = nodes_[k];
  n.name = parse_dos_path(path).leaf();
  n.folder = true;
  return true;
}

void FakePlatform::remove_folder(const std::string& path) {
  record("remove_folder", path);
  std::string k = key(path);
  auto it = nodes_.find(k);
  if (it == nodes_.end() || !it->second.folder || has_children(k)) return;
  nodes_.erase(it);
}

std::string FakePlatform::move_refusal(const std::string& path) {
  record("move_refusal", path);
  const Node* n = find(path);
  if (n == nullptr) return "it is not there";
  if (n->folder) return "it is a folder";
  if (n->kind == EntryKind::link) return "it is a link";
  if (n->kind != EntryKind::file) return "it is not a file";
  if (n->attributes.unreadable) return "it cannot be read: Permission denied";
  if (n->attributes.immovable) return "it cannot be moved: Permission denied";
  return "";
}

Moved FakePlatform::move_file(const std::string& from, const std::string& to, bool replace) {
  record("move_file", from + " -> " + to + (replace ? " (replace)" : ""));
  using Outcome = Moved::Outcome;
  if (std::string why = move_refusal(from); !why.empty()) return {Outcome::refused, why};
  const Node* source = find(from);
  if (source->facts && source->facts->in_use) {
    return {Outcome::held, "another program holds it"};
  }
  std::string target = key(to);
  auto parent = nodes_.find(parent_key(target));
  if (parent == nodes_.end() || !parent->second.folder) {
    return {Outcome::refused, "the folder of '" + to + "' is missing"};
  }
  if (auto there = nodes_.find(target); there != nodes_.end() && there->first != key(from)) {
    if (!replace) return {Outcome::refused, "something stands at '" + to + "'"};
    if (there->second.folder || there->second.kind != EntryKind::file) {
      return {Outcome::refused, "something other than a file stands at '" + to + "'"};
    }
    if (there->second.facts && there->second.facts->in_use) {
      return {Outcome::held, "another program holds '" + to + "'"};
    }
    nodes_.erase(there);
  }
  Node moved = *source;
  nodes_.erase(key(from));
  moved.name = parse_dos_path(to).leaf();
  nodes_[target] = std::move(moved);
  return {};
}

bool FakePlatform::claim_single_instance() {
  record("claim_single_instance", "");
  return !other_instance_;
}

void FakePlatform::kill(const std::string& path) {
  record("kill", path);
  std::string k = key(path);
  auto parent = nodes_.find(parent_key(k));
  if (parent == nodes_.end() || !parent->second.folder) fail(failure::kPathNotFound);
  auto it = nodes_.find(k);
  if (it == nodes_.end()) fail(failure::kFileNotFound);
  if (it->second.folder) fail(failure::kPathFileAccessError);
  for (const auto& [number, open_key] : open_.all()) {
    if (open_key == k) fail(failure::kPathFileAccessError);
  }
  if (it->second.attributes.read_only) fail(failure::kPermissionDenied);
  nodes_.erase(it);
}

void FakePlatform::open_numbered(int number, const std::string& path, bool truncate) {
  open_.check_free(number);
  std::string k = key(path);
  auto parent = nodes_.find(parent_key(k));
  if (parent == nodes_.end() || !parent->second.folder) fail(failure::kPathNotFound);
  auto it = nodes_.find(k);
  if (it != nodes_.end() && it->second.folder) fail(failure::kPathFileAccessError);
  if (it != nodes_.end() && truncate) {
    // A fresh file in place of whatever stood there.
    nodes_.erase(it);
    it = nodes_.end();
  }
  if (it != nodes_.end()) {
    if (it->second.kind != EntryKind::file) fail(failure::kPathFileAccessError);
    if (it->second.attributes.read_only) fail(failure::kPermissionDenied);
  } else {
    Node& n = nodes_[k];
    n.name = parse_dos_path(path).leaf();
  }
  open_.add(number, k);
}

void FakePlatform::open_append(int number, const std::string& path) {
  record("open_append", std::to_string(number) + " " + path);
  open_numbered(number, path, false);
}

void FakePlatform::open_output(int number, const std::string& path) {
  record("open_output", std::to_string(number) + " " + path);
  open_numbered(number, path, true);
}

void FakePlatform::write_line(int number, const std::string& line) {
  record("write_line", std::to_string(number) + " " + line);
  nodes_[open_.at(number)].bytes += numbered_line_bytes(line);
}

void FakePlatform::close_all() {
  record("close_all", "");
  open_.close_all();
}

// --- Processes -------------------------------------------------------------------------------

TaskId FakePlatform::shell(const std::string& path, WindowStyle style,
                           const std::string& working_folder) {
  record("shell", path + " " + std::to_string(static_cast<int>(style)) +
                      (working_folder.empty() ? "" : " " + working_folder));
  if (refused_.count(path) != 0 || !exists(path)) {
    fail(failure::kFileNotFound, "File not found: cannot start '" + path + "'");
  }
  TaskId task = next_task_++;
  starts_.push_back(Start{path, style, working_folder, task});
  if (linger_) running_.insert(task);
  std::string leaf = parse_dos_path(path).leaf();
  if (text::wildcard_match("*.bat", leaf)) held_[task] = key(path);
  return task;
}

bool FakePlatform::still_running(TaskId task) {
  return running_.count(task) != 0;
}

// --- Clock, regional forms, message box, drives ----------------------------------------------

Date FakePlatform::today() {
  record("today", "");
  return today_;
}

TimeOfDay FakePlatform::time_of_day() {
  record("time_of_day", "");
  return time_;
}

// The shops' forms, always.
std::string FakePlatform::short_date(const Date& d) {
  return fallback::short_date(d);
}
std::string FakePlatform::long_time(const TimeOfDay& t) {
  return fallback::long_time(t);
}
std::string FakePlatform::decimal_separator() {
  return fallback::kDecimalSeparator;
}
std::string FakePlatform::thousands_separator() {
  return fallback::kThousandsSeparator;
}
std::string FakePlatform::currency_symbol() {
  return fallback::kCurrencySymbol;
}

void FakePlatform::message_box(const std::string& s) {
  record("message_box", s);
  message_boxes_.push_back(s);
}

std::string FakePlatform::current_drive() {
  record("current_drive", "");
  return current_drive_;
}

std::vector<std::string> FakePlatform::drives() {
  std::vector<std::string> list;
  for (char d : drives_) list.push_back(lower_drive(d));
  return list;
}

// --- Databases -------------------------------------------------------------------------------

JetResult FakePlatform::query(const std::string& database, const std::string& sql) {
  record("query", database + " | " + sql);
  queries_.emplace_back(database, sql);
  // The same checks, in the same order, as every engine's: the file, the statement, the table,
  // the criteria column.
  const Node* n = find(database);
  if (n == nullptr) throw jet_contract::file_not_found(database);
  if (n->folder) throw jet_contract::unrecognized(database, "not a file");
  const SelectStatement st = parse_select(sql);
  if (!n->database) throw jet_contract::unrecognized(database);
  auto table = std::find_if(n->tables.begin(), n->tables.end(), [&](const Table& t) {
    return text::equal_ignoring_case(t.name, st.table);
  });
  if (table == n->tables.end()) throw jet_contract::table_not_found(st.table);
  std::vector<JetField> columns;
  for (const auto& [name, type] : table->columns)
    columns.push_back(JetField{name, JetValue::null(type)});
  const std::size_t column = jet_contract::criteria_column(columns, st);
  JetResult result;
  result.fields = std::move(columns);
  for (const auto& row : table->rows) {
    if (criteria_match(row.at(column), st.literal)) {
      for (std::size_t i = 0; i < row.size() && i < result.fields.size(); ++i) {
        result.fields[i].value = row[i];
      }
      result.eof = false;
      break;
    }
  }
  return result;
}

}  // namespace qano
