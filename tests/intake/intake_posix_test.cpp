// The intake on the Linux platform: real files in a temporary prefix, a stand-in wine on PATH.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "intake/archive_intake.h"
#include "intake/companion.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/program.h"
#include "tests/support/stub_wine.h"
#include "tests/support/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::StubWine;
using testing::TempPrefix;
using testing::WorkingDirectory;

const std::string kScriptForAcq1 =
    "REM echo off\r\n"
    "cd c:\\qano\r\n"
    "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip\r\n"
    "copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt\r\n"
    "if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_acq_1.zip) else Del C:\\qano\\acq_1.zip\r\n";

class IntakeOnLinux : public ::testing::Test {
 protected:
  IntakeOnLinux() {
    fs::create_directories(prefix.c() / "qano" / "fatture");
    fs::create_directories(prefix.c() / "super" / "bkp");
    prefix.write("drive_c/super/qanodivulgazioni.exe", "MZ");
    // The program runs from another drive: the script must still work in C:\qano.
    prefix.map_drive('d', prefix.root() / "shop");
    here = std::make_unique<WorkingDirectory>(prefix.root() / "shop");
    platform.open_append(2, "C:\\super\\bkp\\logqanocontrol_07122026.txt");
  }
  // An archive that arrived an hour ago, or just now.
  void arrive(const std::string& name, bool just_now = false) {
    fs::path file = prefix.c() / "qano" / name;
    prefix.write(file, "PK\x03\x04");
    if (!just_now)
      fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  // This test's children: those of earlier tests in the same process are left out.
  std::vector<long> new_children() const {
    std::vector<long> result;
    for (long pid : testing::child_processes()) {
      if (std::find(earlier_children.begin(), earlier_children.end(), pid) ==
          earlier_children.end()) {
        result.push_back(pid);
      }
    }
    return result;
  }
  void intake_once() {
    intake.run([&] { launch_companion(platform); });
  }

  TempPrefix prefix;
  StubWine wine;
  PosixPlatform platform{PosixOptions{prefix.prefix(), "C"}};
  std::unique_ptr<WorkingDirectory> here;
  ArchiveIntake intake{platform};
  std::vector<long> earlier_children = testing::child_processes();
};

TEST_F(IntakeOnLinux, WritesTheScriptAndStartsItInTheExchangeFolderThenTheCompanion) {
  arrive("acq_1.zip");
  prefix.write("drive_c/qano/acq_var.txt", "left over");
  ASSERT_EQ(platform.current_drive(), "d:");

  intake_once();

  EXPECT_EQ(read_file(prefix.c() / "qano/agglis.bat"), kScriptForAcq1);
  EXPECT_FALSE(fs::exists(prefix.c() / "qano/acq_var.txt"));
  EXPECT_TRUE(fs::exists(prefix.c() / "qano/acq_1.zip"));
  EXPECT_THROW(platform.write_line(2, "x"), Failure) << "the log is closed";
  ASSERT_TRUE(wine.wait_for_calls(2));
  std::vector<StubWine::Call> calls = wine.calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const StubWine::Call& call : calls) {
    bool script = call.args.size() == 6;
    if (script) {
      EXPECT_EQ(call.args, (std::vector<std::string>{"start", "/wait", "/max", "cmd", "/c",
                                                     "C:\\qano\\agglis.bat"}));
      EXPECT_EQ(call.working_directory, (prefix.c() / "qano").string());
    } else {
      EXPECT_EQ(call.args,
                (std::vector<std::string>{"start", "/wait", "C:\\super\\qanodivulgazioni.exe"}));
      EXPECT_EQ(call.working_directory, (prefix.root() / "shop").string());
    }
    EXPECT_EQ(call.wine_prefix, prefix.prefix());
  }
}

TEST_F(IntakeOnLinux, AnArchiveWrittenJustNowIsLeftForTheNextIntake) {
  arrive("acq_1.zip", true);
  intake_once();
  EXPECT_FALSE(fs::exists(prefix.c() / "qano/agglis.bat"));
  EXPECT_EQ(new_children(), std::vector<long>{});
  EXPECT_TRUE(wine.calls().empty());
}

TEST_F(IntakeOnLinux, WaitsForALingeringScriptThenGoesOn) {
  wine.linger(true);
  arrive("acq_1.zip");
  intake_once();
  ASSERT_TRUE(wine.wait_for_calls(2));
  arrive("acq_2.zip");
  std::vector<long> children = new_children();

  intake_once();  // the script still runs: nothing at all
  EXPECT_EQ(read_file(prefix.c() / "qano/agglis.bat"), kScriptForAcq1);
  EXPECT_EQ(new_children(), children);

  // The script ends (the companion lingers on); a later intake takes the archive again.
  fs::remove(prefix.c() / "qano/acq_1.zip");
  wine.release();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (read_file(prefix.c() / "qano/agglis.bat") == kScriptForAcq1 &&
         std::chrono::steady_clock::now() < until) {
    intake_once();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(read_file(prefix.c() / "qano/agglis.bat").find("acq_2.zip"), std::string::npos);
  EXPECT_TRUE(wine.wait_for_calls(4));
}

// The program is killed while its script runs (the unzip takes long); the next run must not
// rewrite agglis.bat under the old interpreter's feet, nor start the archive a second time.
TEST_F(IntakeOnLinux, AScriptOfAKilledRunHoldsOffTheNextRunUntilItEnds) {
  wine.linger(true);
  arrive("acq_1.zip");
  here.reset();  // the child below must not be a WorkingDirectory's owner
  pid_t first_run = ::fork();
  if (first_run == 0) {
    PosixPlatform own{PosixOptions{prefix.prefix(), "C"}};
    ArchiveIntake first(own);
    first.run([] {});
    ::pause();  // until killed
    ::_exit(0);
  }
  ASSERT_GT(first_run, 0);
  ASSERT_TRUE(wine.wait_for_calls(1));
  ::kill(first_run, SIGKILL);
  int status = 0;
  ::waitpid(first_run, &status, 0);

  // The next run's intakes: nothing while the orphaned script runs.
  ArchiveIntake next(platform);
  arrive("acq_2.zip");
  std::optional<FileFacts> held = platform.file_facts("C:\\qano\\agglis.bat");
  ASSERT_TRUE(held.has_value());
  EXPECT_TRUE(held->in_use);
  next.run([] {});
  next.run([] {});
  EXPECT_EQ(read_file(prefix.c() / "qano/agglis.bat"), kScriptForAcq1);
  EXPECT_EQ(wine.calls().size(), 1u) << "the archive was started once in all";
  std::vector<intake::ArchiveFate> fates = next.survey();
  ASSERT_EQ(fates.size(), 2u);
  EXPECT_EQ(fates[0].fate, intake::Fate::waits);
  EXPECT_NE(fates[0].reason.find("held by a running script"), std::string::npos);

  // Once it has ended, the next intake goes on.
  fs::remove(prefix.c() / "qano/acq_1.zip");
  wine.release();
  EXPECT_TRUE(
      testing::eventually([&] { return !platform.file_facts("C:\\qano\\agglis.bat")->in_use; }));
  next.run([] {});
  EXPECT_NE(read_file(prefix.c() / "qano/agglis.bat").find("acq_2.zip"), std::string::npos);
}

TEST_F(IntakeOnLinux, EveryLeftoverGoesWhateverItIsButAFolderHoldsTheScriptBack) {
  fs::path qano = prefix.c() / "qano";
  fs::path outside = prefix.root() / "outside.txt";
  prefix.write(outside, "not the program's");
  struct Case {
    const char* what;
    std::function<void()> scene;
    bool started;
  };
  const Case cases[] = {
      {"case twins",
       [&] {
         prefix.write(qano / "acq_var.txt", "stale");
         prefix.write(qano / "ACQ_VAR.TXT", "stale too");
       },
       true},
      {"a link to a file outside", [&] { fs::create_symlink(outside, qano / "acq_var.txt"); },
       true},
      {"a dangling link",
       [&] { fs::create_symlink(prefix.root() / "nowhere", qano / "Acq_Var.txt"); }, true},
      {"a read-only file",
       [&] {
         prefix.write(qano / "acq_var.txt", "stale");
         fs::permissions(qano / "acq_var.txt", fs::perms::owner_read);
       },
       true},
      {"a folder", [&] { prefix.write(qano / "acq_var.txt" / "old.txt", "stale"); }, false},
  };
  for (const Case& c : cases) {
    for (const auto& e : fs::directory_iterator(qano)) {
      if (e.path().filename() != "fatture") fs::remove_all(e.path());
    }
    arrive("acq_1.zip");
    c.scene();
    ArchiveIntake fresh(platform);
    fresh.run([] {});
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(qano)) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    if (c.started) {
      EXPECT_EQ(left, (std::vector<std::string>{"acq_1.zip", "agglis.bat", "fatture"})) << c.what;
    } else {
      EXPECT_EQ(left, (std::vector<std::string>{"acq_1.zip", "acq_var.txt", "fatture"})) << c.what;
      EXPECT_EQ(read_file(qano / "acq_var.txt" / "old.txt"), "stale") << c.what;
      std::vector<intake::ArchiveFate> fates = fresh.survey();
      ASSERT_EQ(fates.size(), 1u);
      EXPECT_EQ(fates[0].reason, "a folder stands at C:\\qano\\acq_var.txt") << c.what;
    }
    EXPECT_EQ(read_file(outside), "not the program's") << c.what;
    EXPECT_FALSE(fs::exists(prefix.root() / "nowhere")) << c.what;
  }
}

TEST_F(IntakeOnLinux, ALinkPlantedAtTheScriptIsReplacedNeverWrittenThrough) {
  fs::path outside = prefix.root() / "outside.txt";
  prefix.write(outside, "not the program's");
  for (const fs::path& target : {outside, prefix.root() / "nowhere"}) {
    fs::remove(prefix.c() / "qano/agglis.bat");
    fs::create_symlink(target, prefix.c() / "qano/AGGLIS.BAT");
    arrive("acq_1.zip");
    ArchiveIntake fresh(platform);
    fresh.run([] {});
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(prefix.c() / "qano/agglis.bat")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(prefix.c() / "qano/AGGLIS.BAT")));
    EXPECT_EQ(read_file(prefix.c() / "qano/agglis.bat"), kScriptForAcq1);
    EXPECT_EQ(read_file(outside), "not the program's");
    EXPECT_FALSE(fs::exists(prefix.root() / "nowhere"));
  }
}

}  // namespace
}  // namespace qano
