// The unpack script on any archive name: a name is either left alone (no script written, nothing
// started, the archive where it was) or claimed and written so that the command interpreter reads
// back exactly the intended commands on exactly that claim's files. The name first goes straight
// to the script writer, then through the intake on the in-memory platform as the name of an
// arrived archive.
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
#include "tests/support/script_words.h"

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

void check_script(const Claim& claim) {
  std::vector<std::string> lines = unpack_script(claim);
  std::vector<std::vector<std::string>> words = qano::test::script_words(claim);
  check(lines.size() == 5);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto read = read_batch_line(lines[i]);
    check(read && *read == words[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);

  // The writer on its own.
  check(can_name_in_script(name) == writable(name));
  if (can_name_in_script(name)) check_script(Claim{"20261207-122127", name});

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

  const std::string script = platform.bytes("C:\\qano\\agglis.bat");
  const Claim claim{"20261207-122127", archive};
  if (!can_name_in_script(archive) ||
      in_script(Claim{std::string(kLongestClaimId, '0'), archive}.filed()).size() >
          kMaxPathLength) {
    // Left alone, where it was.
    check(platform.exists(archive_path));
    check(script == "before\r\n");
    check(platform.starts().empty());
    return 0;
  }
  // Claimed: out of C:\qano, into its claim's folder, and only the claim is in the script.
  check(!platform.exists(archive_path));
  check(platform.exists(claim.claimed()));
  // Five lines, each ended by CR LF, in the ANSI code page, started once, then the companion.
  std::string expected;
  for (const std::string& line : unpack_script(claim)) expected += line + "\r\n";
  check(script == expected);
  check(std::count(script.begin(), script.end(), '\n') == 5);
  check(std::count(script.begin(), script.end(), '\r') == 5);
  check(platform.starts().size() == 2);
  check(platform.starts()[0].path == kScriptFile);
  check(platform.starts()[0].style == qano::WindowStyle::maximized);
  check(platform.starts()[0].folder == claim.folder());
  check(platform.starts()[1].path == "C:\\super\\qanodivulgazioni.exe");
  return 0;
}
