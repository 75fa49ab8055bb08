// The road of an archive, end to end: the real program on a virtual display, in a Wine prefix
// laid out by the demo's builder, its unpack script run by Wine's own command interpreter with
// the stand-in unzip tool, and the stand-in companion program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "tests/support/program.h"
#include "tests/support/shop.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/x11_client.h"
#include "tests/support/xvfb.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::eventually;
using testing::read_file;

// One Wine prefix for every test here: setting it up costs about 10 s and 700 MB.
fs::path g_root;
fs::path g_prefix;

std::map<std::string, std::string> wine_environment() {
  return {{"WINEPREFIX", g_prefix.string()},
          {"LC_ALL", "C.UTF-8"},
          {"WINEDEBUG", "-all"},
          {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

// Waits for every process of the prefix to end (a script or companion still running).
void wait_for_wine() {
  std::string command = "WINEPREFIX='" + g_prefix.string() + "' wineserver -w";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

class WinePrefix : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qano-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    g_root = pattern;
    g_prefix = g_root / "prefix";
    testing::CommandResult made = testing::run_command(
        "", {"bash", QANO_MAKE_PREFIX, g_prefix.string(), QANO_MKMDB, QANO_STANDINS_DIR}, 600);
    ASSERT_TRUE(made.ok) << made.out;
  }
  void TearDown() override {
    if (g_prefix.empty()) return;
    std::string command = "WINEPREFIX='" + g_prefix.string() + "' wineserver -k 2>/dev/null";
    [[maybe_unused]] int ignored = std::system(command.c_str());
    std::error_code error;
    fs::remove_all(g_root, error);
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new WinePrefix);

void write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

const std::string kScriptStart =
    "REM echo off\r\n"
    "cd c:\\qano\r\n";

class ArchiveRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(g_prefix.empty());
    c_ = g_prefix / "drive_c";
    qano_ = c_ / "qano";
    // A clean exchange folder, log folder and companion record for every test.
    fs::remove_all(qano_);
    fs::create_directories(qano_ / "fatture");
    fs::remove_all(c_ / "super" / "bkp");
    fs::create_directories(c_ / "super" / "bkp");
    fs::remove(c_ / "super" / "qanodivulgazioni.log");
  }

  void TearDown() override {
    if (program_) {
      unsigned long window = testing::find_window(xvfb_->display(), "B");
      if (window != 0) {
        testing::run_command(xvfb_->display(),
                             {"xdotool", "mousemove", "--window", std::to_string(window), "300",
                              "480", "click", "1"});
      }
      EXPECT_EQ(program_->wait_exit(30), 0) << read_file(g_root / "stderr.txt");
      program_.reset();
    }
    wait_for_wine();
    xvfb_.reset();
  }

  void start() {
    xvfb_ = std::make_unique<testing::Xvfb>();
    std::map<std::string, std::string> env = wine_environment();
    env["DISPLAY"] = xvfb_->display();
    program_ =
        std::make_unique<testing::Program>(QANOCONTROL, c_ / "super", env, g_root / "stderr.txt");
    started_ = Clock::now();
  }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }
  bool exists(const std::string& name) const { return fs::exists(qano_ / name); }
  std::string invoices() const { return read_file(qano_ / "fatture" / "acq_var.txt"); }
  int companion_runs() const {
    std::string record = read_file(c_ / "super" / "qanodivulgazioni.log");
    int runs = 0;
    for (std::size_t at = record.find("started"); at != std::string::npos;
         at = record.find("started", at + 1)) {
      ++runs;
    }
    return runs;
  }
  std::vector<std::string> archives() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(qano_)) {
      if (entry.path().extension() == ".zip") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path c_, qano_;
  std::unique_ptr<testing::Xvfb> xvfb_;
  std::unique_ptr<testing::Program> program_;
  Clock::time_point started_;
};

TEST_F(ArchiveRoad, OneArchiveIsUnpackedFiledAndDeletedAndTheCompanionStarts) {
  std::string content = testing::demo_acq_var();
  write(qano_ / "acq_0001.zip", testing::zip_archive("acq_var.txt", content));
  start();
  ASSERT_TRUE(eventually(
      [&] { return invoices() == content && !exists("acq_0001.zip") && companion_runs() == 1; },
      60))
      << read_file(g_root / "stderr.txt");
  EXPECT_GE(seconds(), 14.0) << "the first intake comes on the third tick";
  EXPECT_EQ(read_file(qano_ / "agglis.bat"),
            kScriptStart +
                "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_0001.zip\r\n"
                "copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt\r\n"
                "if errorlevel 1 (ren C:\\qano\\acq_0001.zip errore_acq_0001.zip) else Del "
                "C:\\qano\\acq_0001.zip\r\n");
  EXPECT_EQ(archives(), std::vector<std::string>{});
  EXPECT_NE(read_file(c_ / "super" / "qanodivulgazioni.log").find("started in C:\\super with 0"),
            std::string::npos);
}

TEST_F(ArchiveRoad, ADamagedArchiveIsSetAsideAndNotDeleted) {
  std::string whole = testing::zip_archive("acq_var.txt", testing::demo_acq_var());
  std::string damaged = whole.substr(0, whole.size() / 2);
  write(qano_ / "acq_0002.zip", damaged);
  start();
  ASSERT_TRUE(
      eventually([&] { return exists("errore_acq_0002.zip") && companion_runs() == 1; }, 60))
      << read_file(g_root / "stderr.txt");
  EXPECT_EQ(read_file(qano_ / "errore_acq_0002.zip"), damaged) << "kept as it came";
  EXPECT_EQ(archives(), std::vector<std::string>{"errore_acq_0002.zip"});
  EXPECT_FALSE(fs::exists(qano_ / "fatture" / "acq_var.txt")) << "nothing was filed";
}

TEST_F(ArchiveRoad, TwoArchivesAreTakenByTwoIntakes) {
  std::string first = "ART100;primo arrivo;1;1,00\r\n";
  std::string second = "ART200;secondo arrivo;2;2,00\r\n";
  write(qano_ / "acq_0001.zip", testing::zip_archive("acq_var.txt", first));
  write(qano_ / "acq_0002.zip", testing::zip_archive("acq_var.txt", second));
  start();
  ASSERT_TRUE(eventually([&] { return invoices() == first && !exists("acq_0001.zip"); }, 60))
      << read_file(g_root / "stderr.txt");
  double first_done = seconds();
  EXPECT_TRUE(exists("acq_0002.zip")) << "the second archive waits for the next intake";
  ASSERT_TRUE(eventually([&] { return invoices() == second && !exists("acq_0002.zip"); }, 60))
      << read_file(g_root / "stderr.txt");
  EXPECT_GE(seconds() - first_done, 5.0) << "taken by a later intake";
  EXPECT_TRUE(eventually([&] { return companion_runs() == 2; }, 30));
  EXPECT_EQ(archives(), std::vector<std::string>{});
}

}  // namespace
}  // namespace qano
