// A platform that hands every call to another one. Derive from it to change a few calls and
// keep the rest: a tool that shows the log on standard output instead of writing the file, or a
// test that makes one call fail.
#pragma once

#include "platform/platform.h"

namespace qano {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  std::vector<std::string> dir_all(const std::string& p) override { return inner_.dir_all(p); }
  std::optional<FileFacts> file_facts(const std::string& p) override {
    return inner_.file_facts(p);
  }
  void kill(const std::string& p) override { inner_.kill(p); }
  std::vector<Entry> entries(const std::string& p) override { return inner_.entries(p); }
  void remove_entry(const std::string& p) override { inner_.remove_entry(p); }
  void clear_read_only(const std::string& p) override { inner_.clear_read_only(p); }
  bool make_folder(const std::string& p) override { return inner_.make_folder(p); }
  void remove_folder(const std::string& p) override { inner_.remove_folder(p); }
  Moved move_file(const std::string& f, const std::string& t, bool r) override {
    return inner_.move_file(f, t, r);
  }
  std::string move_refusal(const std::string& p) override { return inner_.move_refusal(p); }
  void open_append(int n, const std::string& p) override { inner_.open_append(n, p); }
  void open_output(int n, const std::string& p) override { inner_.open_output(n, p); }
  void write_line(int n, const std::string& t) override { inner_.write_line(n, t); }
  void close_all() override { inner_.close_all(); }
  TaskId shell(const std::string& p, WindowStyle s, const std::string& f) override {
    return inner_.shell(p, s, f);
  }
  bool still_running(TaskId t) override { return inner_.still_running(t); }
  Date today() override { return inner_.today(); }
  TimeOfDay time_of_day() override { return inner_.time_of_day(); }
  std::string short_date(const Date& d) override { return inner_.short_date(d); }
  std::string long_time(const TimeOfDay& t) override { return inner_.long_time(t); }
  std::string decimal_separator() override { return inner_.decimal_separator(); }
  std::string thousands_separator() override { return inner_.thousands_separator(); }
  std::string currency_symbol() override { return inner_.currency_symbol(); }
  bool claim_single_instance() override { return inner_.claim_single_instance(); }
  void message_box(const std::string& t) override { inner_.message_box(t); }
  std::string current_drive() override { return inner_.current_drive(); }
  std::vector<std::string> drives() override { return inner_.drives(); }
  JetResult query(const std::string& d, const std::string& s) override {
    return inner_.query(d, s);
  }

 protected:
  Platform& inner() { return inner_; }

 private:
  Platform& inner_;
};

}  // namespace qano
