// Starting programs and scripts on the Linux platform, through a stand-in `wine` on PATH.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/posix/posix_platform.h"
#include "tools/dev/kit/program.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::eventually;
using testing::StubWine;
using testing::TempPrefix;
using testing::WorkingDirectory;

class PosixProcessTest : public ::testing::Test {
 protected:
  PosixProcessTest() : platform(PosixOptions{prefix.prefix(), "C"}) {
    prefix.write("drive_c/qano/agglis.bat", "REM echo off\r\n");
    prefix.write("drive_c/super/qanodivulgazioni.exe", "MZ");
    fs::create_directories(prefix.root() / "elsewhere");
  }
  // This test's children: those of earlier tests in the same process are left out.
  std::vector<long> new_children() const {
    return testing::child_processes_since(earlier_children);
  }
  TempPrefix prefix;
  StubWine wine;
  PosixPlatform platform;
  std::vector<long> earlier_children = testing::child_processes();
};

TEST_F(PosixProcessTest, ScriptsRunThroughCmdAndProgramsDirectlyInTheGivenFolder) {
  WorkingDirectory here(prefix.root() / "elsewhere");
  prefix.write("drive_c/qano/upper.CMD", "");
  struct Case {
    const char* path;
    WindowStyle style;
    const char* folder;
    std::vector<std::string> args;
    fs::path directory;
  };
  const Case cases[] = {
      {"C:\\qano\\agglis.bat",
       WindowStyle::maximized,
       "C:\\qano",
       {"start", "/wait", "/max", "cmd", "/c", "C:\\qano\\agglis.bat"},
       prefix.c() / "qano"},
      {"c:\\QANO\\UPPER.cmd",
       WindowStyle::normal,
       "c:\\QANO",
       {"start", "/wait", "cmd", "/c", "c:\\QANO\\UPPER.cmd"},
       prefix.c() / "qano"},
      {"C:\\super\\qanodivulgazioni.exe",
       WindowStyle::normal,
       "",
       {"start", "/wait", "C:\\super\\qanodivulgazioni.exe"},
       prefix.root() / "elsewhere"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    TaskId task = platform.shell(c.path, c.style, c.folder);
    ASSERT_TRUE(wine.wait_for_calls(i + 1)) << c.path;
    StubWine::Call call;
    // A program is the started process itself; a script runs under its holder, whose process
    // group it shares.
    for (const StubWine::Call& each : wine.calls()) {
      if (each.process_group == task) call = each;
    }
    ASSERT_EQ(call.process_group, task) << c.path;
    EXPECT_EQ(call.args, c.args) << c.path;
    EXPECT_EQ(call.working_directory, c.directory.string()) << c.path;
    EXPECT_EQ(call.wine_prefix, prefix.prefix()) << c.path;
    EXPECT_EQ(call.standard_input, "/dev/null") << c.path;
    EXPECT_NE(call.process_group, ::getpgrp()) << c.path;  // not the program's group
    EXPECT_TRUE(eventually([&] { return !platform.still_running(task); })) << c.path;
  }
}

TEST_F(PosixProcessTest, TheChildInheritsNoOpenFileOfTheProgram) {
  platform.open_output(3, "C:\\qano\\open.txt");
  // A descriptor opened without close-on-exec, as a library might.
  fs::path loose = prefix.c() / "loose.txt";
  prefix.write(loose, "x");
  int fd = ::open(loose.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  platform.shell("C:\\qano\\agglis.bat", WindowStyle::maximized, "C:\\qano");
  ASSERT_TRUE(wine.wait_for_calls(1));
  ::close(fd);
  platform.close_all();
  std::vector<StubWine::Call> calls = wine.calls();
  EXPECT_FALSE(calls.front().open_files.empty());  // the stand-in's own files are seen
  for (const std::string& file : calls.front().open_files) {
    EXPECT_EQ(file.find(prefix.prefix()), std::string::npos) << file;
  }
}

TEST_F(PosixProcessTest, ReturnsAtOnceAndTellsWhileTheProcessRuns) {
  wine.linger(true);
  TaskId task = platform.shell("C:\\qano\\agglis.bat", WindowStyle::maximized, "C:\\qano");
  ASSERT_TRUE(wine.wait_for_calls(1));
  EXPECT_TRUE(platform.still_running(task));
  EXPECT_TRUE(platform.still_running(task));  // asking again changes nothing
  wine.release();
  EXPECT_TRUE(eventually([&] { return !platform.still_running(task); }));
  EXPECT_FALSE(platform.still_running(task + 100000));  // never started
}

TEST_F(PosixProcessTest, ManyStartsLeaveNoZombies) {
  wine.exit_status(3);  // an outcome that nobody looks at
  std::vector<TaskId> tasks;
  for (int i = 0; i < 40; ++i) {
    const char* path = i % 2 == 0 ? "C:\\qano\\agglis.bat" : "C:\\super\\qanodivulgazioni.exe";
    tasks.push_back(platform.shell(path, WindowStyle::normal, i % 2 == 0 ? "C:\\qano" : ""));
  }
  ASSERT_TRUE(wine.wait_for_calls(tasks.size()));
  EXPECT_TRUE(eventually([&] {
    for (TaskId t : tasks) {
      if (platform.still_running(t)) return false;
    }
    return true;
  }));
  EXPECT_EQ(new_children(), std::vector<long>{});
}

TEST_F(PosixProcessTest, WhatCannotBeStartedIsFailure53NamingIt) {
  struct Case {
    const char* name;
    std::function<void()> prepare;
    const char* path;
    const char* folder;
    int number;
    std::vector<std::string> words;  // in the failure's text
  };
  fs::path empty_bin = prefix.root() / "empty-bin";
  fs::create_directories(empty_bin);
  std::string saved_path = std::getenv("PATH");
  const Case cases[] = {
      {"script missing", [] {}, "C:\\qano\\nothing.bat", "C:\\qano", 53, {"C:\\qano\\nothing.bat"}},
      {"folder of the script missing",
       [] {},
       "C:\\nowhere\\agglis.bat",
       "",
       53,
       {"C:\\nowhere\\agglis.bat"}},
      {"a folder, not a program",
       [&] { fs::create_directories(prefix.c() / "x.exe"); },
       "C:\\x.exe",
       "",
       53,
       {"C:\\x.exe"}},
      {"working folder missing", [] {}, "C:\\qano\\agglis.bat", "C:\\gone", 76, {"C:\\gone"}},
      {"no wine on PATH",
       [&] { ::setenv("PATH", empty_bin.c_str(), 1); },
       "C:\\qano\\agglis.bat",
       "C:\\qano",
       53,
       {"C:\\qano\\agglis.bat", "wine", "PATH"}},
      {"wine cannot be executed",
       [&] {
         // Only the stand-in's folder: a search of PATH goes on past a file it cannot execute.
         ::setenv("PATH", wine.bin().c_str(), 1);
         wine.make_unexecutable();
       },
       "C:\\super\\qanodivulgazioni.exe",
       "",
       53,
       {"C:\\super\\qanodivulgazioni.exe", "wine"}},
  };
  for (const Case& c : cases) {
    c.prepare();
    try {
      platform.shell(c.path, WindowStyle::normal, c.folder);
      ADD_FAILURE() << c.name << ": started";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.number) << c.name;
      for (const std::string& word : c.words) {
        EXPECT_NE(f.text().find(word), std::string::npos) << c.name << ": " << f.text();
      }
    }
    ::setenv("PATH", saved_path.c_str(), 1);
  }
  EXPECT_TRUE(wine.calls().empty());
  EXPECT_EQ(new_children(), std::vector<long>{});
}

}  // namespace
}  // namespace qano
