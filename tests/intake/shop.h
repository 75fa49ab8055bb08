// A shop's workstation on the fake platform, as the intake finds it once start-up has run: the
// exchange folder C:\qano with its invoices folder, and the activity log open as file 2.
#pragma once

#include <string>
#include <vector>

#include "intake/archive_intake.h"
#include "intake/companion.h"
#include "platform/fake/fake_platform.h"

namespace qano::testing {

struct Shop {
  static constexpr const char* kLog = "C:\\super\\bkp\\logqanocontrol_07122026.txt";

  explicit Shop(bool exchange_folder = true) {
    if (exchange_folder) platform.add_folder("C:\\qano\\fatture");
    platform.add_folder("C:\\super\\bkp");
    platform.open_append(2, kLog);
    platform.clear_journal();
  }

  void add_archive(const std::string& name, FakeAttributes attributes = {}) {
    platform.add_file("C:\\qano\\" + name, "PK\x03\x04 invoices", attributes);
  }
  void add_companion() { platform.add_file(kCompanionProgram, "MZ"); }
  // elaboro_Divulgazioni as the window calls it.
  void intake_once() {
    intake.run([&] { launch_companion(platform); });
  }
  // The calls that change something or start something, in order.
  std::vector<std::string> effects() const {
    std::vector<std::string> result;
    for (const std::string& call : platform.journal()) {
      for (const char* kind : {"kill ", "remove_entry ", "clear_read_only ", "open_", "write_line ",
                               "close_all", "shell "}) {
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

  FakePlatform platform;
  ArchiveIntake intake{platform};
};

}  // namespace qano::testing
