// Starting programs and scripts on Windows: real processes, a stand-in program of the build.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "tests/win32/win32_support.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::build_file;
using testing::eventually;
using testing::read_file;
using testing::TempFolder;

class Win32ProcessTest : public ::testing::Test {
 protected:
  Win32ProcessTest() {
    // In a folder whose name holds a blank, as "Program Files" does.
    fs::create_directories(folder.path() / "my programs");
    fs::copy_file(testing::u8path(build_file(QANO_STUB_PROGRAM)),
                  folder.path() / "my programs" / "stub prog.exe");
    fs::create_directories(folder.path() / "work dir");
  }
  fs::path ran() const { return folder.path() / "work dir" / "stub_ran.txt"; }

  TempFolder folder;
  Win32Platform platform;
};

TEST_F(Win32ProcessTest, StartsAProgramInTheGivenFolderAndStyleAndTellsWhileItRuns) {
  folder.write("work dir\\stub_hold.txt", "");
  TaskId task = platform.shell(folder.dos("my programs\\stub prog.exe"), WindowStyle::normal,
                               folder.dos("work dir"));
  ASSERT_TRUE(eventually([&] { return fs::exists(ran()); }));
  // The folder as the system names it: the same, whatever the case of its drive letter.
  EXPECT_EQ(text::fold(read_file(ran())), text::fold(folder.dos("work dir") + "\r\n1\r\n"));
  EXPECT_TRUE(platform.still_running(task));
  fs::remove(folder.path() / "work dir" / "stub_hold.txt");
  EXPECT_TRUE(eventually([&] { return !platform.still_running(task); }));
  EXPECT_FALSE(platform.still_running(task));  // and stays so

  fs::remove(ran());
  platform.shell(folder.dos("my programs\\stub prog.exe"), WindowStyle::maximized,
                 folder.dos("work dir"));
  ASSERT_TRUE(eventually([&] { return fs::exists(ran()); }));
  EXPECT_EQ(text::fold(read_file(ran())), text::fold(folder.dos("work dir") + "\r\n3\r\n"));
}

TEST_F(Win32ProcessTest, ScriptsRunInTheCommandInterpreterInTheirFolder) {
  // Its own folder, with blanks in the script's path; "cd" alone prints the folder.
  folder.write("script dir\\run it.bat",
               "@echo off\r\ncd > where.txt\r\necho done>> where.txt\r\n");
  fs::create_directories(folder.path() / "elsewhere");
  TaskId task = platform.shell(folder.dos("script dir\\run it.bat"), WindowStyle::maximized,
                               folder.dos("elsewhere"));
  EXPECT_TRUE(eventually([&] { return !platform.still_running(task); }));
  EXPECT_EQ(text::fold(read_file(folder.path() / "elsewhere" / "where.txt")),
            text::fold(folder.dos("elsewhere") + "\r\ndone\r\n"));
}

TEST_F(Win32ProcessTest, TheChildHoldsNoNumberedFileOfTheProgram) {
  folder.write("work dir\\stub_hold.txt", "");
  platform.open_output(2, folder.dos("log.txt"));
  TaskId task = platform.shell(folder.dos("my programs\\stub prog.exe"), WindowStyle::normal,
                               folder.dos("work dir"));
  ASSERT_TRUE(eventually([&] { return fs::exists(ran()); }));
  platform.close_all();
  // With the child still running, the log is free: it can be deleted.
  EXPECT_TRUE(platform.still_running(task));
  platform.kill(folder.dos("log.txt"));
  fs::remove(folder.path() / "work dir" / "stub_hold.txt");
  EXPECT_TRUE(eventually([&] { return !platform.still_running(task); }));
}

TEST_F(Win32ProcessTest, WhatCannotBeStartedIsAFailureNamingIt) {
  fs::create_directories(folder.path() / "a folder.exe");
  folder.write("not a program.exe", "this is text");
  struct Case {
    std::string path;
    std::string working_folder;
    int number;
  };
  const Case cases[] = {
      {folder.dos("missing.exe"), "", 53},
      {folder.dos("missing.bat"), "", 53},
      {folder.dos("a folder.exe"), "", 53},
      // There, but no program: not "File not found" (before: 53 and the text's %1 unfilled).
      {folder.dos("not a program.exe"), "", 5},
      {folder.dos("my programs\\stub prog.exe"), folder.dos("no such folder"), 76},
  };
  for (const Case& c : cases) {
    try {
      platform.shell(c.path, WindowStyle::normal, c.working_folder);
      ADD_FAILURE() << c.path << " started";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.number) << c.path;
      EXPECT_NE(f.text().find(c.number == 76 ? c.working_folder : c.path), std::string::npos)
          << f.text();
      EXPECT_EQ(f.text().find("%1"), std::string::npos) << f.text();
    }
  }
}

TEST_F(Win32ProcessTest, AMissingCommandInterpreterIsNamedNotTheScript) {
  folder.write("agglis.bat", "@echo off\r\n");
  std::string interpreter = folder.dos("windows\\cmd.exe");
  platform.set_command_interpreter(interpreter);
  try {
    platform.shell(folder.dos("agglis.bat"), WindowStyle::maximized, "");
    ADD_FAILURE() << "started";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 53);
    EXPECT_NE(text::fold(f.text()).find(text::fold("'" + interpreter + "' is not there")),
              std::string::npos)
        << f.text();
  }
}

// The script's file is held for as long as the script runs, by the interpreter itself: every
// run of the program sees it in use, also one that starts after the starting one has gone.
TEST_F(Win32ProcessTest, AScriptIsHeldWhileItRunsWhoeverLooks) {
  folder.write("work dir\\stub_hold.txt", "");
  folder.write("work dir\\agglis.bat",
               "@echo off\r\n\"" + folder.dos("my programs\\stub prog.exe") + "\"\r\n");
  std::string script = folder.dos("work dir\\agglis.bat");
  auto starting = std::make_unique<Win32Platform>();
  EXPECT_FALSE(starting->file_facts(script)->in_use);
  TaskId task = starting->shell(script, WindowStyle::normal, folder.dos("work dir"));
  ASSERT_TRUE(eventually([&] { return fs::exists(ran()); }));
  EXPECT_TRUE(starting->file_facts(script)->in_use);
  starting.reset();  // the program that started it ends
  Win32Platform next_run;
  EXPECT_TRUE(next_run.file_facts(script)->in_use);
  EXPECT_EQ(read_file(folder.path() / "work dir" / "agglis.bat").substr(0, 9), "@echo off");
  fs::remove(folder.path() / "work dir" / "stub_hold.txt");
  EXPECT_TRUE(eventually([&] { return !next_run.file_facts(script)->in_use; }));
  (void)task;
}

// Another program that holds the script without write or delete sharing (a scanner, a viewer):
// the look waits, rather than the program ending on the script.
TEST_F(Win32ProcessTest, AScriptHeldByAnotherProgramIsInUse) {
  fs::path script = folder.write("agglis.bat", "REM x\r\n");
  testing::Holder holder(build_file(QANO_STUB_PROGRAM), script, FILE_SHARE_READ);
  ASSERT_TRUE(holder.holding());
  EXPECT_TRUE(platform.file_facts(folder.dos("agglis.bat"))->in_use);
}

}  // namespace
}  // namespace qano
