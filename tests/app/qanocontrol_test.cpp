// The program itself, run as the shop runs it, on a virtual display of the test's own, in a
// prefix whose C: holds the shop's folders and databases (written by the project's Jet 4 writer).
// A stub `wine` on PATH records the processes that the intake starts.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "tests/support/log_lines.h"
#include "tools/dev/kit/program.h"
#include "tools/dev/kit/shop.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"
#include "tools/dev/kit/x11_client.h"
#include "tools/dev/kit/xvfb.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::eventually;
using testing::Program;
using testing::read_file;
using testing::run_command;

enum class Databases { present, master_missing };

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = prefix_.c();
    fs::create_directories(c_ / "super" / "bkp");
    fs::create_directories(c_ / "qano" / "fatture");
  }

  void start(Databases databases = Databases::present) {
    if (databases == Databases::present) testing::write_shop_databases(c_);
    xvfb_ = std::make_unique<testing::Xvfb>();
    // The stub wine is on the PATH that the program inherits.
    program_ = std::make_unique<Program>(
        QANOCONTROL, c_ / "super",
        std::map<std::string, std::string>{
            {"DISPLAY", xvfb_->display()}, {"WINEPREFIX", prefix_.prefix()}, {"LC_ALL", "C.UTF-8"}},
        prefix_.root() / "stderr.txt");
    started_ = Clock::now();
  }

  unsigned long wait_for_window(const std::string& title, double seconds = 30) {
    unsigned long id = 0;
    eventually(
        [&] {
          id = testing::find_window(xvfb_->display(), title);
          return id != 0 || !program_->running();
        },
        seconds);
    return id;
  }
  void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    ASSERT_TRUE(run_command(xvfb_->display(), args).ok) << args[1];
  }
  void key(unsigned long window, const std::string& name) {
    xdotool({"windowfocus", "--sync", std::to_string(window)});
    xdotool({"key", name});
  }

  std::string log() const {
    for (const auto& entry : fs::directory_iterator(c_ / "super" / "bkp")) {
      if (entry.path().filename().string().rfind("logqanocontrol_", 0) == 0) {
        return read_file(entry.path());
      }
    }
    return "";
  }
  // Each line without its stamp (date and time vary).
  std::vector<std::string> log_texts() const { return test::unstamped_log_lines(log()); }
  std::string stderr_text() const { return read_file(prefix_.root() / "stderr.txt"); }
  // The unpack scripts started so far.
  int intakes() const {
    int n = 0;
    for (const testing::StubWine::Call& call : wine_.calls()) {
      if (std::find(call.args.begin(), call.args.end(), "cmd") != call.args.end()) ++n;
    }
    return n;
  }
  double seconds_since_start() const {
    return std::chrono::duration<double>(Clock::now() - started_).count();
  }

  static std::vector<std::string> complete_log() { return test::complete_start_up_log(); }

  testing::TempPrefix prefix_;
  testing::StubWine wine_;
  fs::path c_;
  std::unique_ptr<testing::Xvfb> xvfb_;
  std::unique_ptr<Program> program_;
  Clock::time_point started_;
};

TEST_F(ProgramTest, WindowShowsTitleSizeIconAndTheFocusOnUscitaThatSpacePresses) {
  start();
  unsigned long window = wait_for_window("B");
  ASSERT_NE(window, 0u) << stderr_text();
  testing::WindowFacts facts = testing::window_facts(xvfb_->display(), window);
  EXPECT_EQ(facts.title, "B");
  EXPECT_EQ(facts.width, 592);
  EXPECT_EQ(facts.height, 531);
  EXPECT_EQ(facts.icon_width, 32);
  EXPECT_EQ(facts.icon_height, 32);
  EXPECT_EQ(log_texts(), complete_log()) << "start-up ran before the window showed";
  // Space presses the focused button only: the focus is on "Uscita".
  key(window, "space");
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
  EXPECT_EQ(log_texts(), complete_log());
  EXPECT_EQ(stderr_text(), "");
}

TEST_F(ProgramTest, ASecondProgramOnTheSameDrivesEndsAtOnceWithoutTakingAnything) {
  fs::create_directories(c_ / "qano");
  start();
  ASSERT_NE(wait_for_window("B"), 0u) << stderr_text();
  prefix_.write(c_ / "qano" / "acq_0001.zip", "PK");
  Program second(
      QANOCONTROL, c_ / "super",
      {{"DISPLAY", xvfb_->display()}, {"WINEPREFIX", prefix_.prefix()}, {"LC_ALL", "C.UTF-8"}},
      prefix_.root() / "second.txt");
  EXPECT_EQ(second.wait_exit(20), 0);
  EXPECT_EQ(read_file(prefix_.root() / "second.txt"),
            "qanocontrol: another qanocontrol already runs on this workstation; this one ends "
            "without taking any archive\n");
  EXPECT_EQ(log_texts(), complete_log()) << "the second one wrote nothing";
  EXPECT_TRUE(program_->running());
  EXPECT_EQ(intakes(), 0);
  key(wait_for_window("B"), "Return");
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
}

TEST_F(ProgramTest, EnterOnUscitaEndsTheProgram) {
  start();
  unsigned long window = wait_for_window("B");
  ASSERT_NE(window, 0u) << stderr_text();
  key(window, "Return");
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
  EXPECT_EQ(log_texts(), complete_log());
}

TEST_F(ProgramTest, AClickOnUscitaEndsTheProgram) {
  start();
  unsigned long window = wait_for_window("B");
  ASSERT_NE(window, 0u) << stderr_text();
  xdotool({"mousemove", "--window", std::to_string(window), "300", "480", "click", "1"});
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
  EXPECT_EQ(log_texts(), complete_log());
}

TEST_F(ProgramTest, ACloseRequestEndsTheProgram) {
  start();
  unsigned long window = wait_for_window("B");
  ASSERT_NE(window, 0u) << stderr_text();
  ASSERT_TRUE(testing::send_close_request(xvfb_->display(), window));
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
  EXPECT_EQ(log_texts(), complete_log());
}

TEST_F(ProgramTest, TheEndOfTheSessionEndsTheProgram) {
  // Logging off: the session's processes get SIGTERM, or the display simply goes away.
  for (bool display_goes : {false, true}) {
    SCOPED_TRACE(display_goes ? "display gone" : "SIGTERM");
    fs::remove_all(c_ / "super" / "bkp");
    fs::create_directories(c_ / "super" / "bkp");
    start();
    ASSERT_NE(wait_for_window("B"), 0u) << stderr_text();
    if (display_goes) {
      xvfb_->stop();
    } else {
      ::kill(program_->pid(), SIGTERM);
    }
    EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
    EXPECT_EQ(log_texts(), complete_log());
  }
}

TEST_F(ProgramTest, MissingMasterShowsItsBoxTicksGoOnAndTheWindowOpensOnceDismissed) {
  fs::create_directories(c_ / "qano");
  prefix_.write(c_ / "qano" / "acq_0001.zip", "PK");
  start(Databases::master_missing);
  unsigned long box = wait_for_window("qanocontrol");
  ASSERT_NE(box, 0u) << stderr_text();
  EXPECT_EQ(stderr_text(), "qanocontrol: ERRORE : FILE c:\\team\\super.mdb NON ESISTE \n");
  EXPECT_EQ(testing::find_window(xvfb_->display(), "B"), 0u) << "the window waits for start-up";
  EXPECT_EQ(log_texts(), std::vector<std::string>{"- Avvio programma"});

  // The first intake comes on the third tick, about 15 s after start, while the box waits.
  ASSERT_TRUE(eventually([&] { return intakes() == 1; }, 40));
  EXPECT_GE(seconds_since_start(), 14.0);
  EXPECT_NE(testing::find_window(xvfb_->display(), "qanocontrol"), 0u);

  // The stand-in unpacks nothing and leaves the first archive, which is not taken twice: a
  // second one arrives, written a while ago.
  fs::path second = c_ / "qano" / "acq_0002.zip";
  prefix_.write(second, "PK");
  fs::last_write_time(second, fs::file_time_type::clock::now() - std::chrono::hours(1));
  key(box, "Return");
  unsigned long window = wait_for_window("B");
  ASSERT_NE(window, 0u);
  // Ticks go on: the next intake comes two ticks later.
  ASSERT_TRUE(eventually([&] { return intakes() == 2; }, 30));
  EXPECT_EQ(fs::path(wine_.calls()[0].working_directory).parent_path(), c_ / "qano" / "qanocontrol")
      << "the script runs in its claim's folder";

  xdotool({"mousemove", "--window", std::to_string(window), "300", "480", "click", "1"});
  EXPECT_EQ(program_->wait_exit(20), 0) << stderr_text();
  EXPECT_EQ(log_texts(), std::vector<std::string>{"- Avvio programma"});
}

TEST_F(ProgramTest, AFailureInStartUpIsReportedAndEndsTheProgramWithStatusOne) {
  fs::remove_all(c_ / "super" / "bkp");  // the log's folder is missing
  start();
  unsigned long box = wait_for_window("qanocontrol");
  ASSERT_NE(box, 0u) << stderr_text();
  EXPECT_EQ(stderr_text(), "qanocontrol: run-time error 76: Path not found\n");
  EXPECT_EQ(testing::find_window(xvfb_->display(), "B"), 0u) << "the window never shows";
  key(box, "Return");
  EXPECT_EQ(program_->wait_exit(20), 1);
}

TEST_F(ProgramTest, AFailureInATickIsReportedAfterEveryLogLineIsOnDisk) {
  // The script cannot be written: C:\qano\agglis.bat is a folder.
  fs::create_directories(c_ / "qano" / "agglis.bat");
  prefix_.write(c_ / "qano" / "acq_0001.zip", "PK");
  start();
  ASSERT_NE(wait_for_window("B"), 0u) << stderr_text();
  unsigned long box = wait_for_window("qanocontrol", 40);
  ASSERT_NE(box, 0u) << stderr_text();
  EXPECT_EQ(stderr_text(),
            "qanocontrol: run-time error 75: Path/File access error: a folder stands at "
            "'C:\\qano\\agglis.bat'\n");
  EXPECT_EQ(log_texts(), complete_log()) << "on disk while the report still waits";
  EXPECT_EQ(testing::find_window(xvfb_->display(), "B"), 0u) << "the window has gone";
  key(box, "Return");
  EXPECT_EQ(program_->wait_exit(20), 1);
}

TEST_F(ProgramTest, WithoutADisplayItStopsAtOnceWithStatusOne) {
  testing::write_shop_databases(c_);
  Program program(QANOCONTROL, c_ / "super",
                  {{"DISPLAY", ":65000"}, {"WINEPREFIX", prefix_.prefix()}, {"LC_ALL", "C.UTF-8"}},
                  prefix_.root() / "stderr.txt");
  EXPECT_EQ(program.wait_exit(20), 1);
  EXPECT_EQ(stderr_text(), "qanocontrol: run-time error 51: Cannot open the display ':65000'\n");
  EXPECT_EQ(log(), "") << "start-up never ran";
}

}  // namespace
}  // namespace qano
