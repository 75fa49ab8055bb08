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

#include "tools/dev/kit/program.h"
#include "tools/dev/kit/shop.h"
#include "tools/dev/kit/temp_prefix.h"
#include "tools/dev/kit/x11_client.h"
#include "tools/dev/kit/xvfb.h"

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
    outside_ = g_root / "outside.txt";
    write(outside_, "not the shop's");
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
    EXPECT_EQ(read_file(outside_), "not the shop's") << "nothing outside the prefix is touched";
  }

  // Starts the program; `unzip` is the stand-in unzip tool's test setting, if any.
  void start(const std::map<std::string, std::string>& unzip = {}) {
    xvfb_ = std::make_unique<testing::Xvfb>();
    std::map<std::string, std::string> env = wine_environment();
    env["DISPLAY"] = xvfb_->display();
    env.insert(unzip.begin(), unzip.end());
    program_ =
        std::make_unique<testing::Program>(QANOCONTROL, c_ / "super", env, g_root / "stderr.txt");
    started_ = Clock::now();
  }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }
  bool exists(const std::string& name) const {
    return fs::exists(fs::symlink_status(qano_ / name));
  }
  // The suite's part: it takes the invoices filed in C:\qano\fatture.
  std::string take_invoices() {
    fs::path invoices = qano_ / "fatture" / "acq_var.txt";
    if (!fs::is_regular_file(fs::symlink_status(invoices))) return "";
    std::string taken = read_file(invoices);
    fs::remove(invoices);
    taken_.push_back(taken);
    return taken;
  }
  int companion_runs() const {
    std::string record = read_file(c_ / "super" / "qanodivulgazioni.log");
    int runs = 0;
    for (std::size_t at = record.find("started"); at != std::string::npos;
         at = record.find("started", at + 1)) {
      ++runs;
    }
    return runs;
  }
  // The entries of C:\qano (the program's own folder and the invoices folder left out).
  std::vector<std::string> exchange() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(qano_)) {
      std::string name = entry.path().filename().string();
      if (name != "qanocontrol" && name != "fatture") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The kept archives, each name without its claim's id, with its bytes.
  std::vector<std::pair<std::string, std::string>> kept() const {
    std::vector<std::pair<std::string, std::string>> result;
    fs::path filed = qano_ / "qanocontrol" / "archiviati";
    if (!fs::exists(filed)) return result;
    for (const auto& entry : fs::directory_iterator(filed)) {
      std::string name = entry.path().filename().string();
      result.emplace_back(name.substr(name.find('_') + 1), read_file(entry.path()));
    }
    std::sort(result.begin(), result.end());
    return result;
  }
  // The claims in progress: folders of the program's own.
  std::vector<std::string> claims() const {
    std::vector<std::string> names;
    fs::path work = qano_ / "qanocontrol";
    if (!fs::exists(work)) return names;
    for (const auto& entry : fs::directory_iterator(work)) {
      if (entry.path().filename() != "archiviati") names.push_back(entry.path().filename());
    }
    return names;
  }

  fs::path c_, qano_, outside_;
  std::unique_ptr<testing::Xvfb> xvfb_;
  std::unique_ptr<testing::Program> program_;
  Clock::time_point started_;
  std::vector<std::string> taken_;
};

TEST_F(ArchiveRoad, ArchivesAreClaimedUnpackedApartFiledAndKeptAndNothingInsideThemActs) {
  std::string content = testing::demo_acq_var();
  // Among its files, a script of its own under the running script's name and a name that
  // climbs out of the unpack folder.
  std::string hostile = testing::zip_archive({
      {"agglis.bat", "echo hacked > c:\\qano\\hacked.txt\r\ndel /q c:\\qano\\*.*\r\n"},
      {"..\\x.txt", "out of its folder"},
      {"acq_var.txt", content},
  });
  write(qano_ / "acq_0001.zip", hostile);
  fs::create_symlink(outside_, qano_ / "acq_0000.zip");  // a link is no archive of the shop's
  std::string whole = testing::zip_archive("acq_var.txt", "ART;x;1;1,00\r\n");
  std::string damaged = whole.substr(0, whole.size() / 2);
  write(qano_ / "acq_0003.zip", damaged);
  start();
  ASSERT_TRUE(eventually(
      [&] {
        take_invoices();
        return exists("errore_acq_0003.zip") && claims().empty() && companion_runs() == 2;
      },
      90))
      << read_file(g_root / "stderr.txt");
  EXPECT_GE(seconds(), 24.0) << "one archive per intake: the second comes 10 s after the first";
  EXPECT_EQ(taken_, std::vector<std::string>{content}) << "only the sound archive is filed";
  EXPECT_EQ(kept(), (std::vector<std::pair<std::string, std::string>>{{"acq_0001.zip", hostile}}));
  EXPECT_EQ(read_file(qano_ / "errore_acq_0003.zip"), damaged) << "given back as it came";
  EXPECT_EQ(exchange(),
            (std::vector<std::string>{"acq_0000.zip", "agglis.bat", "errore_acq_0003.zip"}));
  EXPECT_TRUE(fs::is_symlink(qano_ / "acq_0000.zip")) << "the link is left where it is";
  EXPECT_EQ(read_file(qano_ / "agglis.bat").rfind("REM echo off\r\ncd c:\\qano\\qanocontrol\\", 0),
            0u)
      << "the script is the program's own";
  for (const fs::path& nowhere :
       {qano_ / "hacked.txt", qano_ / "x.txt", qano_ / "qanocontrol" / "x.txt"}) {
    EXPECT_FALSE(fs::exists(nowhere)) << nowhere;
  }
  EXPECT_NE(read_file(c_ / "super" / "qanodivulgazioni.log").find("started in C:\\super with 0"),
            std::string::npos);
}

TEST_F(ArchiveRoad, AnUnzipCutShortFilesNothingAndGivesTheArchiveBack) {
  std::string archive = testing::zip_archive("acq_var.txt", testing::demo_acq_var());
  write(qano_ / "acq_0004.zip", archive);
  start({{"QANO_WZUNZIP_CUT_AFTER", "100"}});
  ASSERT_TRUE(eventually([&] { return exists("errore_acq_0004.zip") && claims().empty(); }, 60))
      << read_file(g_root / "stderr.txt");
  EXPECT_FALSE(fs::exists(qano_ / "fatture" / "acq_var.txt")) << "nothing cut short is filed";
  EXPECT_TRUE(kept().empty());
  EXPECT_EQ(read_file(qano_ / "errore_acq_0004.zip"), archive);
}

TEST_F(ArchiveRoad,
       ANewDeliveryUnderTheSameNameDuringASlowUnpackIsTakenNextAndALinkIsNeverFiledThrough) {
  std::string first = "ART100;primo arrivo;1;1,00\r\n";
  std::string second = "ART200;secondo arrivo;2;2,00\r\n";
  std::string first_zip = testing::zip_archive("acq_var.txt", first);
  std::string second_zip = testing::zip_archive("acq_var.txt", second);
  write(qano_ / "acq_0005.zip", first_zip);
  start({{"QANO_WZUNZIP_PAUSE_MS", "5000"}});
  // Claimed: out of C:\qano. While the unzip is still busy, the sender delivers again under the
  // same name, and someone plants a link where the invoices go.
  ASSERT_TRUE(eventually([&] { return !exists("acq_0005.zip") && claims().size() == 1; }, 60))
      << read_file(g_root / "stderr.txt");
  write(qano_ / "acq_0005.zip", second_zip);
  fs::create_symlink(outside_, qano_ / "fatture" / "acq_var.txt");
  // The first is filed as a file of its own, replacing the link, and the second is claimed by a
  // later intake, never deleted unread.
  ASSERT_TRUE(eventually([&] { return kept().size() == 1 && claims().empty(); }, 30));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(qano_ / "fatture" / "acq_var.txt")));
  EXPECT_EQ(take_invoices(), first);
  ASSERT_TRUE(eventually([&] { return kept().size() == 2 && claims().empty(); }, 60))
      << read_file(g_root / "stderr.txt");
  EXPECT_EQ(take_invoices(), second);
  std::vector<std::pair<std::string, std::string>> both{{"acq_0005.zip", first_zip},
                                                        {"acq_0005.zip", second_zip}};
  std::sort(both.begin(), both.end());
  EXPECT_EQ(kept(), both);
  EXPECT_EQ(exchange(), std::vector<std::string>{"agglis.bat"});
  EXPECT_TRUE(eventually([&] { return companion_runs() == 2; }, 30));
}

}  // namespace
}  // namespace qano
