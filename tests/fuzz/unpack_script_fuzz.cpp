// The unpack script on any archive name: a name is either left alone (no script written, nothing
// started, the archive where it was) or written so that the command interpreter reads back
// exactly the intended commands on exactly that archive. The name first goes straight to the
// script writer, then through the intake on the in-memory platform as the name of an arrived
// archive.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "intake/archive_intake.h"
#include "intake/unpack_script.h"
#include "platform/fake/fake_platform.h"
#include "platform/text.h"
#include "tests/support/batch_line.h"

namespace {

using namespace qano::intake;
using qano::test::read_batch_line;

void check(bool condition) {
  if (!condition) std::abort();
}

// A name that Windows could hold and the interpreter read back: printable ASCII, none of the
// characters Windows forbids in a name, no blank or dot at its end.
bool writable(std::string_view name) {
  if (name.empty() || name.back() == ' ' || name.back() == '.') return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos)
      return false;
  }
  return true;
}

void check_script(const std::string& name, const std::string& aside) {
  std::vector<std::string> lines = unpack_script(name, aside);
  check(lines.size() == 5);
  check(lines[0] == "REM echo off");
  check(lines[1] == "cd c:\\qano");
  check(lines[3] == "copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt");
  auto unzip = read_batch_line(lines[2]);
  check(unzip && *unzip == (std::vector<std::string>{"c:\\programmi\\winzip\\wzunzip",
                                                     "c:\\qano\\" + name}));
  const std::string archive = "C:\\qano\\" + name;
  auto last = read_batch_line(lines[4]);
  check(last && *last == (std::vector<std::string>{"if", "errorlevel", "1", "(", "ren", archive,
                                                   aside, ")", "else", "Del", archive}));
  // The set-aside name is a bare name that no longer matches the archive pattern.
  check(aside.find('\\') == std::string::npos);
  check(!qano::text::wildcard_match("acq_*.zip", aside));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);

  // The writer on its own.
  check(can_name_in_script(name) == writable(name));
  if (can_name_in_script(name)) check_script(name, set_aside_name(name, {}));

  // The intake, with the name as that of an archive arrived in C:\qano.
  std::string archive =
      qano::text::wildcard_match("acq_*.zip", name) ? name : "acq_" + name + ".zip";
  if (archive.find_first_of("\\/") != std::string::npos || archive.find('\0') != archive.npos)
    return 0;
  qano::FakePlatform platform;
  platform.add_folder("C:\\qano\\fatture");
  platform.add_file("C:\\super\\qanodivulgazioni.exe", "MZ");
  platform.add_file("C:\\qano\\agglis.bat", "before\r\n");
  const std::string archive_path = "C:\\qano\\" + archive;
  platform.add_file(archive_path, "PK");
  std::vector<std::string> found = platform.dir_all(kArchivePattern);
  if (found.size() != 1) return 0;  // a name the folder does not hold as such
  archive = found[0];

  qano::ArchiveIntake intake(platform);
  intake.run(
      [&] { platform.shell("C:\\super\\qanodivulgazioni.exe", qano::WindowStyle::normal, ""); });

  check(platform.exists(archive_path));  // only the script ever moves or deletes an archive
  const std::string script = platform.bytes("C:\\qano\\agglis.bat");
  if (!can_name_in_script(archive) ||
      std::string(kArchiveFolder).size() + set_aside_name(archive, {}).size() > kMaxPathLength) {
    // Left alone.
    check(script == "before\r\n");
    check(platform.starts().empty());
    return 0;
  }
  // Five lines, each ended by CR LF, in the ANSI code page, started once, then the companion.
  std::vector<std::string> lines = unpack_script(archive, set_aside_name(archive, {}));
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  check(script == expected);
  check(std::count(script.begin(), script.end(), '\n') == 5);
  check(std::count(script.begin(), script.end(), '\r') == 5);
  check(platform.starts().size() == 2);
  check(platform.starts()[0].path == kScriptFile);
  check(platform.starts()[0].style == qano::WindowStyle::maximized);
  check(platform.starts()[1].path == "C:\\super\\qanodivulgazioni.exe");
  return 0;
}
