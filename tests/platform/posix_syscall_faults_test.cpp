// The Linux platform's own answers to failing system calls: one call of the system-call table
// replaced at a time, on the real platform with real files in a temporary prefix.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/posix/posix_platform.h"
#include "platform/system/posix_syscalls_for_testing.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

using posix::ReplacedSyscall;
using posix::Syscalls;
using testing::read_file;
using testing::StubWine;
using testing::TempPrefix;

template <int E>
int open_fails(const char*, int, mode_t) {
  errno = E;
  return -1;
}
template <int E>
ssize_t write_fails(int, const void*, size_t) {
  errno = E;
  return -1;
}
ssize_t write_takes_nothing(int, const void*, size_t) {
  return 0;
}
template <int E>
DIR* opendir_fails(const char*) {
  errno = E;
  return nullptr;
}
template <int E>
int spawn_fails(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                char* const[], char* const[]) {
  return E;
}
template <int E>
pid_t fork_fails() {
  errno = E;
  return -1;
}

constexpr const char* kLog = "C:\\super\\bkp\\log.txt";

class PosixSyscallFaults : public ::testing::Test {
 protected:
  PosixSyscallFaults() {
    prefix.write("drive_c/super/bkp/old.txt", "");
    prefix.write("drive_c/qano/agglis.bat", "REM echo off\r\n");
    prefix.write("drive_c/super/qanodivulgazioni.exe", "MZ");
  }
  TempPrefix prefix;
  StubWine wine;
  PosixPlatform platform{PosixOptions{prefix.prefix(), "C"}};
};

struct Fault {
  const char* what;
  std::function<void(PosixPlatform&)> call;  // replaces one system call and makes the call
  int number;
  const char* text;  // how the failure's text begins
};

TEST_F(PosixSyscallFaults, EachFailedSystemCallGivesItsNumberAndText) {
  auto open_log = [](PosixPlatform& p) { p.open_append(1, kLog); };
  auto write_log = [](PosixPlatform& p) { p.write_line(1, "08/12/2026-10:57:48- Avvio"); };
  const Fault faults[] = {
      {"write: disk full",
       [&](PosixPlatform& p) {
         open_log(p);
         ReplacedSyscall<&Syscalls::write> fault(write_fails<ENOSPC>);
         write_log(p);
       },
       failure::kDiskFull, "Disk full"},
      {"write: quota spent",
       [&](PosixPlatform& p) {
         open_log(p);
         ReplacedSyscall<&Syscalls::write> fault(write_fails<EDQUOT>);
         write_log(p);
       },
       failure::kDiskFull, "Disk full"},
      {"write: takes nothing",
       [&](PosixPlatform& p) {
         open_log(p);
         ReplacedSyscall<&Syscalls::write> fault(write_takes_nothing);
         write_log(p);
       },
       failure::kDiskFull, "Disk full"},
      {"write: device error",
       [&](PosixPlatform& p) {
         open_log(p);
         ReplacedSyscall<&Syscalls::write> fault(write_fails<EIO>);
         write_log(p);
       },
       failure::kPathFileAccessError, "Path/File access error"},
      {"open: access denied",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::open> fault(open_fails<EACCES>);
         open_log(p);
       },
       failure::kPermissionDenied, "Permission denied"},
      {"open: no descriptor left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::open> fault(open_fails<EMFILE>);
         open_log(p);
       },
       failure::kTooManyFiles, "Too many files"},
      {"open: no room for the new file",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::open> fault(open_fails<ENOSPC>);
         p.open_output(2, "C:\\qano\\nuovo.bat");
       },
       failure::kDiskFull, "Disk full"},
      {"open: device error",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::open> fault(open_fails<EIO>);
         open_log(p);
       },
       failure::kPathFileAccessError, "Path/File access error"},
      {"opendir: no descriptor left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::opendir> fault(opendir_fails<EMFILE>);
         p.dir_all("C:\\qano\\acq_*.zip");
       },
       failure::kTooManyFiles, "Too many files"},
      {"posix_spawn: no process left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::posix_spawn> fault(spawn_fails<EAGAIN>);
         p.shell("C:\\super\\qanodivulgazioni.exe", WindowStyle::normal, "");
       },
       failure::kOutOfMemory, "Out of memory"},
      {"posix_spawn: wine cannot be run",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::posix_spawn> fault(spawn_fails<ENOENT>);
         p.shell("C:\\super\\qanodivulgazioni.exe", WindowStyle::normal, "");
       },
       failure::kFileNotFound, "File not found"},
      {"posix_spawn in the script's holder: no descriptor left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::posix_spawn> fault(spawn_fails<EMFILE>);
         p.shell("C:\\qano\\agglis.bat", WindowStyle::maximized, "C:\\qano");
       },
       failure::kTooManyFiles, "Too many files"},
      {"fork of the script's holder: no process left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::fork> fault(fork_fails<EAGAIN>);
         p.shell("C:\\qano\\agglis.bat", WindowStyle::maximized, "C:\\qano");
       },
       failure::kOutOfMemory, "Out of memory"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    PosixPlatform p(PosixOptions{prefix.prefix(), "C"});
    try {
      fault.call(p);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), fault.number) << f.text();
      EXPECT_EQ(f.text().rfind(fault.text, 0), 0u) << f.text();
    }
  }
  // Every replaced call is the system's own again.
  platform.open_append(1, kLog);
  platform.write_line(1, "after");
  platform.close_all();
  EXPECT_EQ(read_file(prefix.c() / "super/bkp/log.txt"), "after\r\n");
}

template <int E>
int renameat2_fails(const char*, const char*, unsigned) {
  errno = E;
  return -1;
}
template <int E>
int mkdir_fails(const char*, mode_t) {
  errno = E;
  return -1;
}

// A move of a claim under failing calls: a refusal with its reason for what concerns the one
// file, a failure for a machine out of resources, the classic rename where the file system has
// no rename without replacing.
TEST_F(PosixSyscallFaults, AMoveIsRefusedForTheFileButFailsForTheMachine) {
  struct Case {
    const char* what;
    std::function<Moved(PosixPlatform&)> move;
    std::optional<Moved::Outcome> outcome;  // nothing: a failure
    std::string reason_or_text;
  };
  auto move = [](PosixPlatform& p) {
    return p.move_file("C:\\qano\\acq_1.zip", "C:\\qano\\claim\\acq_1.zip", false);
  };
  const Case cases[] = {
      {"another disk",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::renameat2> fault(renameat2_fails<EXDEV>);
         return move(p);
       },
       Moved::Outcome::refused, "it cannot be moved to another disk"},
      {"not allowed",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::renameat2> fault(renameat2_fails<EACCES>);
         return move(p);
       },
       Moved::Outcome::refused, "it cannot be moved: Permission denied"},
      {"no descriptor left",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::open> fault(open_fails<EMFILE>);
         return move(p);
       },
       std::nullopt, "Too many files"},
      {"no rename without replacing",
       [&](PosixPlatform& p) {
         ReplacedSyscall<&Syscalls::renameat2> fault(renameat2_fails<EINVAL>);
         return move(p);
       },
       Moved::Outcome::done, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prefix.write("drive_c/qano/acq_1.zip", "PK");
    std::filesystem::create_directories(prefix.c() / "qano" / "claim");
    std::filesystem::remove(prefix.c() / "qano" / "claim" / "acq_1.zip");
    try {
      Moved moved = c.move(platform);
      ASSERT_TRUE(c.outcome.has_value()) << "no failure";
      EXPECT_EQ(moved.outcome, *c.outcome);
      EXPECT_EQ(moved.reason, c.reason_or_text);
      EXPECT_EQ(std::filesystem::exists(prefix.c() / "qano" / "claim" / "acq_1.zip"), moved.done());
    } catch (const Failure& f) {
      EXPECT_FALSE(c.outcome.has_value()) << f.text();
      EXPECT_EQ(f.text().rfind(c.reason_or_text, 0), 0u) << f.text();
    }
  }
  ReplacedSyscall<&Syscalls::mkdir> full(mkdir_fails<ENOSPC>);
  try {
    platform.make_folder("C:\\qano\\qanocontrol");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), failure::kDiskFull) << f.text();
  }
}

// An interrupted write, then one that takes only part of the line: the rest follows.
int write_calls = 0;
ssize_t interrupted_then_short(int fd, const void* bytes, size_t size) {
  if (++write_calls == 1) {
    errno = EINTR;
    return -1;
  }
  return ::write(fd, bytes, write_calls == 2 ? std::min<size_t>(size, 3) : size);
}

int read_calls = 0;
ssize_t interrupted_read(int fd, void* buffer, size_t size) {
  if (++read_calls == 1) {
    errno = EINTR;
    return -1;
  }
  return ::read(fd, buffer, size);
}

TEST_F(PosixSyscallFaults, InterruptedCallsAreMadeAgainAndTheLineLandsWhole) {
  platform.open_append(1, kLog);
  {
    write_calls = 0;
    ReplacedSyscall<&Syscalls::write> interrupted(interrupted_then_short);
    platform.write_line(1, "08/12/2026-10:57:48- Avvio programma");
    EXPECT_EQ(write_calls, 3);
  }
  platform.close_all();
  EXPECT_EQ(read_file(prefix.c() / "super/bkp/log.txt"),
            "08/12/2026-10:57:48- Avvio programma\r\n");

  // The holder's report of the script's start, read after an interruption.
  read_calls = 0;
  ReplacedSyscall<&Syscalls::read> interrupted(interrupted_read);
  TaskId task = platform.shell("C:\\qano\\agglis.bat", WindowStyle::maximized, "C:\\qano");
  EXPECT_GT(task, 0);
  EXPECT_GE(read_calls, 2);
  ASSERT_TRUE(wine.wait_for_calls(1));
  EXPECT_EQ(wine.calls()[0].args.back(), "C:\\qano\\agglis.bat");
}

}  // namespace
}  // namespace qano
