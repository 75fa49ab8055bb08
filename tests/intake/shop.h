// A shop's workstation on the fake platform, as the intake finds it once start-up has run: the
// exchange folder C:\qano with its invoices folder, and the activity log open as file 2; and the
// unpack script's part played as Wine's cmd and the unzip tool would play it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "intake/archive_intake.h"
#include "intake/companion.h"
#include "platform/fake/fake_platform.h"

namespace qano::testing {

// How far a script came before it ended.
enum class ScriptEnd {
  filed,         // unpacked, kept the archive, filed the invoices
  unzip_failed,  // the unzip stopped half-way and left part of acq_var.txt
  kept,          // unpacked and kept the archive, then stopped before filing the invoices
};

struct Shop {
  static constexpr const char* kLog = "C:\\super\\bkp\\logqanocontrol_07122026.txt";
  static constexpr const char* kInvoices = "C:\\qano\\fatture\\acq_var.txt";

  explicit Shop(bool exchange_folder = true) {
    if (exchange_folder) platform.add_folder("C:\\qano\\fatture");
    platform.add_folder("C:\\super\\bkp");
    platform.open_append(2, kLog);
    platform.clear_journal();
  }

  void add_archive(const std::string& name, FakeAttributes attributes = {}) {
    platform.add_file("C:\\qano\\" + name, "PK\x03\x04 invoices of " + name, attributes);
  }
  void add_companion() { platform.add_file(kCompanionProgram, "MZ"); }
  // elaboro_Divulgazioni as the window calls it.
  void intake_once() {
    intake->run([&] { launch_companion(platform); });
  }
  // The program started again: a new intake that remembers nothing.
  void restart() { intake = std::make_unique<ArchiveIntake>(platform); }

  // The claim of the script started last: its id (the folder's name) and its archive.
  intake::Claim last_claim() const {
    const std::string& folder = last_script().folder;
    std::string id = folder.substr(folder.rfind('\\') + 1);
    std::vector<std::string> archives =
        const_cast<FakePlatform&>(platform).dir_all(folder + "\\acq_*.zip");
    std::string archive = archives.empty() ? std::string() : archives.front();
    if (archive.empty()) {
      std::string line = script_line(3);
      std::size_t at = line.rfind('\\') + 1;
      archive = line.substr(at, line.find(' ', at) - at);
    }
    return {id, archive};
  }
  // What the script started last does, up to `end`, with the invoices `invoices`; then it ends.
  void play_script(ScriptEnd end, const std::string& invoices = "invoices\r\n") {
    intake::Claim claim = last_claim();
    platform.add_file(claim.unpacked(), end == ScriptEnd::unzip_failed ? "half" : invoices);
    if (end != ScriptEnd::unzip_failed) {
      platform.move_file(claim.claimed(), claim.filed(), false);
      if (end == ScriptEnd::filed) platform.move_file(claim.unpacked(), kInvoices, true);
    }
    platform.finish(last_script().task);
  }
  // The suite takes the invoices.
  void suite_takes_invoices() { platform.kill(kInvoices); }

  // The calls that change something or start something, in order.
  std::vector<std::string> effects() const {
    std::vector<std::string> result;
    for (const std::string& call : platform.journal()) {
      for (const char* kind : {"kill ", "remove_entry ", "make_folder ", "remove_folder ",
                               "move_file ", "open_", "write_line ", "close_all", "shell "}) {
        if (call.rfind(kind, 0) == 0) result.push_back(call);
      }
    }
    return result;
  }
  std::string script() const { return platform.bytes("C:\\qano\\agglis.bat"); }
  // Line `n` (1-5) of the script, without its CR LF.
  std::string script_line(int n) const {
    std::string bytes = script();
    std::size_t at = 0;
    for (int i = 1; i < n; ++i) at = bytes.find("\r\n", at) + 2;
    return bytes.substr(at, bytes.find("\r\n", at) - at);
  }
  // The scripts started so far.
  std::size_t scripts() const {
    std::size_t n = 0;
    for (const FakePlatform::Start& s : platform.starts()) n += s.path == "C:\\qano\\agglis.bat";
    return n;
  }
  const FakePlatform::Start& last_script() const {
    for (auto it = platform.starts().rbegin(); it != platform.starts().rend(); ++it) {
      if (it->path == "C:\\qano\\agglis.bat") return *it;
    }
    static const FakePlatform::Start none{};
    return none;
  }
  // The names kept among the filed archives.
  std::vector<std::string> filed() {
    std::vector<std::string> names;
    for (const Entry& e : platform.entries("C:\\qano\\qanocontrol\\archiviati\\*")) {
      names.push_back(e.name);
    }
    return names;
  }

  FakePlatform platform;
  std::unique_ptr<ArchiveIntake> intake = std::make_unique<ArchiveIntake>(platform);
};

}  // namespace qano::testing
