// Failure of each platform call in turn, as a full disk, a locked file or a missing program would
// cause it: Form1 on the real Linux platform, over a temporary prefix with the shop's databases
// (written by the project's Jet 4 writer), an arrived archive, a leftover acq_var.txt and the
// companion program, driven as the window drives it: Load, then the ticks up to the first intake.
// The failure must come out with its number and text, every log line written before it must be
// on disk, and the archive must be where it can be taken up again: in C:\qano before the intake
// claimed it, in its claim's folder after, never touched by a script that was not written to the
// end. (A leftover that cannot be removed is no failure: the look waits, as the intake's tests
// show.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "app/form1.h"
#include "platform/forwarding_platform.h"
#include "platform/host_platform.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/log_lines.h"
#include "tools/dev/kit/shop_files.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::ShopFiles;
using testing::StubWine;
using testing::TempPrefix;
using testing::WorkingDirectory;

// One platform call to make fail: the `nth` call of `call` on `target` (a file number, or the
// path of a delete or a start). The call fails the way the system would, without reaching the
// real platform; every other call goes through.
struct Fault {
  const char* name;
  const char* call;
  std::string target;
  int nth;
  int number;
};

void PrintTo(const Fault& fault, std::ostream* out) {
  *out << fault.name << " " << fault.nth;
}

class FailingPlatform : public ForwardingPlatform {
 public:
  FailingPlatform(Platform& inner, Fault fault) : ForwardingPlatform(inner), fault_(fault) {}

  void open_append(int n, const std::string& p) override {
    maybe_fail("open_append", std::to_string(n));
    inner().open_append(n, p);
  }
  void open_output(int n, const std::string& p) override {
    maybe_fail("open_output", std::to_string(n));
    inner().open_output(n, p);
  }
  void write_line(int n, const std::string& t) override {
    maybe_fail("write_line", std::to_string(n));
    inner().write_line(n, t);
  }
  void kill(const std::string& p) override {
    maybe_fail("kill", p);
    inner().kill(p);
  }
  void remove_entry(const std::string& p) override {
    maybe_fail("remove_entry", p);
    inner().remove_entry(p);
  }
  TaskId shell(const std::string& p, WindowStyle s, const std::string& f) override {
    maybe_fail("shell", p);
    started.push_back(p);
    return inner().shell(p, s, f);
  }

  bool failed = false;
  std::vector<std::string> started;  // the starts that reached the real platform

 private:
  void maybe_fail(const std::string& call, const std::string& target) {
    if (call != fault_.call || target != fault_.target) return;
    if (++seen_ == fault_.nth) {
      failed = true;
      fail(fault_.number);
    }
  }
  Fault fault_;
  int seen_ = 0;
};

struct NoHost : WindowHost {
  void unload() override {}
};

constexpr int kDiskFull = failure::kDiskFull;
constexpr int kDenied = failure::kPermissionDenied;
constexpr int kNotFound = failure::kFileNotFound;
const std::string kScript = "C:\\qano\\agglis.bat";
const std::string kCompanion = "C:\\super\\qanodivulgazioni.exe";

// The log lines of a complete start-up, without their stamps.
const std::vector<std::string> kLogTexts = test::complete_start_up_log();

// The claim's folder: the one folder of the program's own other than the kept archives.
fs::path claim_folder(const fs::path& qano) {
  if (!fs::exists(qano / "qanocontrol")) return {};
  for (const auto& e : fs::directory_iterator(qano / "qanocontrol")) {
    if (e.path().filename() != "archiviati") return e.path();
  }
  return {};
}

std::vector<Fault> every_fault() {
  std::vector<Fault> faults = {{"the log's open", "open_append", "2", 1, kDenied}};
  for (int k = 1; k <= 7; ++k) faults.push_back({"a log line", "write_line", "2", k, kDiskFull});
  faults.push_back({"the script's open", "open_output", "3", 1, kDenied});
  for (int k = 1; k <= 5; ++k) faults.push_back({"a script line", "write_line", "3", k, kDiskFull});
  faults.push_back({"the script's start", "shell", kScript, 1, kNotFound});
  faults.push_back({"the companion's start", "shell", kCompanion, 1, kNotFound});
  return faults;
}

class FaultInjection : public ::testing::TestWithParam<Fault> {
 protected:
  FaultInjection() {
    ShopFiles().write_into(prefix);
    fs::create_directories(prefix.c() / "qano" / "fatture");
    prefix.write("drive_c/super/qanodivulgazioni.exe", "MZ");
    prefix.write("drive_c/qano/acq_var.txt", "left over by an earlier script");
    fs::path archive = prefix.c() / "qano" / "acq_0001.zip";
    prefix.write(archive, "PK\x03\x04 invoices");
    fs::last_write_time(archive, fs::file_time_type::clock::now() - std::chrono::hours(1));
    here = std::make_unique<WorkingDirectory>(prefix.c() / "super");
    real.set_jet_engine(make_host_jet_engine());
  }

  // The day's log, each line without its stamp; "cut: ..." for bytes after the last CR LF.
  std::vector<std::string> log_texts() const {
    std::vector<std::string> texts;
    for (const auto& entry : fs::directory_iterator(prefix.c() / "super" / "bkp")) {
      for (std::string& text : test::unstamped_log_lines(read_file(entry.path()))) {
        texts.push_back(std::move(text));
      }
    }
    return texts;
  }
  // The files in C:\qano, by name.
  std::vector<std::string> exchange_folder() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(prefix.c() / "qano")) {
      if (e.is_regular_file()) names.push_back(e.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempPrefix prefix;
  StubWine wine;
  std::unique_ptr<WorkingDirectory> here;
  PosixPlatform real{PosixOptions{prefix.prefix(), "C"}};
};

TEST_P(FaultInjection, TheFailureIsReportedNoLogLineIsLostAndTheArchiveIsSpared) {
  const Fault& fault = GetParam();
  const bool in_start_up = fault.call == std::string("open_append") ||
                           (fault.call == std::string("write_line") && fault.target == "2");
  FailingPlatform platform(real, fault);
  SessionSettings settings;
  NoHost host;
  Form1 form(platform, settings, host);

  // As the window runs it: Load, then ticks until the first intake (the third tick).
  std::optional<Failure> failure;
  int ticks = 0;
  try {
    form.Form_Load();
    for (; ticks < 3; ++ticks) form.Timer2_Timer();
  } catch (const Failure& f) {
    failure = f;
  }

  // The failure comes out where it happened, with its number and its text.
  ASSERT_TRUE(platform.failed) << "the call was never made";
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->number(), fault.number);
  // A failure on the script names it, for the shop's IT to find the file.
  bool on_script = fault.target == "3";
  EXPECT_EQ(failure->text(),
            standard_text(fault.number) + (on_script ? ": '" + kScript + "'" : std::string()));
  EXPECT_EQ(ticks, in_start_up ? 0 : 2) << "start-up fails on Load, the intake on the third tick";

  // Every line written before the failure is on disk now, while the program reports it, and
  // still there once it has stopped and its files are closed.
  std::vector<std::string> lines_before(kLogTexts.begin(),
                                        kLogTexts.begin() + (in_start_up ? fault.nth - 1 : 7));
  if (fault.call == std::string("open_append")) {
    EXPECT_TRUE(fs::is_empty(prefix.c() / "super" / "bkp")) << "no log was opened";
  } else {
    EXPECT_EQ(log_texts(), lines_before);
  }
  real.close_all();
  if (fault.call != std::string("open_append")) {
    EXPECT_EQ(log_texts(), lines_before);
  }

  // The archive is in C:\qano under its own name until the intake claims it, then in its
  // claim's folder; a script is there only when it is complete, and only a complete script was
  // started.
  const bool script_written = fault.call == std::string("shell");
  fs::path claim = claim_folder(prefix.c() / "qano");
  std::vector<std::string> expected;
  if (in_start_up) {
    expected = {"acq_0001.zip", "acq_var.txt"};
    EXPECT_TRUE(claim.empty());
  } else {
    ASSERT_FALSE(claim.empty()) << "claimed before its script was written";
    EXPECT_TRUE(fs::is_regular_file(claim / "acq_0001.zip"));
    if (script_written) expected.push_back("agglis.bat");
  }
  EXPECT_EQ(exchange_folder(), expected);
  if (script_written) {
    std::string script = read_file(prefix.c() / "qano" / "agglis.bat");
    EXPECT_EQ(
        script.rfind(
            "REM echo off\r\ncd c:\\qano\\qanocontrol\\" + claim.filename().string() + "\r\n", 0),
        0u)
        << script;
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 5);
  }
  if (fault.target == kCompanion) {
    EXPECT_EQ(platform.started, std::vector<std::string>{kScript});
    ASSERT_TRUE(wine.wait_for_calls(1));
    EXPECT_EQ(wine.calls().size(), 1u);
  } else {
    EXPECT_TRUE(platform.started.empty());
    EXPECT_TRUE(wine.calls().empty());
  }
}

std::string case_name(const ::testing::TestParamInfo<Fault>& info) {
  std::string name;
  for (char c : std::string(info.param.name) + " " + std::to_string(info.param.nth)) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EachCallInTurn, FaultInjection, ::testing::ValuesIn(every_fault()),
                         case_name);

}  // namespace
}  // namespace qano
