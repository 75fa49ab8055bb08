// The Windows platform meeting a refusing system: one call of its table fails with the error
// the system would give (another program's share mode, no access, a full disk, no handles or
// memory left), and the platform's own mapping turns it into the program's failure.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <type_traits>

#include "platform/system/win32_calls_for_testing.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/failure_of.h"
#include "tests/win32/win32_support.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::failure_of;
using testing::TempFolder;
using win32::Calls;
using win32::ReplacedCall;

// A call that fails as the system would: it sets the last error and returns what the call
// returns on failure (INVALID_HANDLE_VALUE for a handle, FALSE otherwise).
template <typename Function>
struct Refusing;
template <typename Result, typename... Arguments>
struct Refusing<Result(WINAPI*)(Arguments...)> {
  template <DWORD error>
  static Result WINAPI call(Arguments...) {
    SetLastError(error);
    if constexpr (std::is_same_v<Result, HANDLE>) {
      return INVALID_HANDLE_VALUE;
    } else {
      return Result{};
    }
  }
};

// One entry of the table refused with `error` for as long as the guard lives.
template <auto Calls::*entry, DWORD error>
class Refused : public ReplacedCall<entry> {
 public:
  Refused()
      : ReplacedCall<entry>(
            &Refusing<typename ReplacedCall<entry>::Function>::template call<error>) {}
};

class Win32CallFaults : public ::testing::Test {
 protected:
  Win32CallFaults() {
    for (const char* name : {"log.txt", "acq_1.zip", "prog.exe"}) folder.write(name, "");
  }
  TempFolder folder;
  Win32Platform platform;
};

TEST_F(Win32CallFaults, EachRefusalBecomesTheProgramsFailure) {
  const struct {
    const char* what;
    std::function<void()> replace_and_call;
    int expected;
  } cases[] = {
      {"open, another program's share mode",
       [&] {
         Refused<&Calls::CreateFileW, ERROR_SHARING_VIOLATION> r;
         platform.open_append(1, folder.dos("log.txt"));
       },
       failure::kPathFileAccessError},
      {"open, no access",
       [&] {
         Refused<&Calls::CreateFileW, ERROR_ACCESS_DENIED> r;
         platform.open_append(1, folder.dos("log.txt"));
       },
       failure::kPermissionDenied},
      {"open, no handle left",
       [&] {
         Refused<&Calls::CreateFileW, ERROR_TOO_MANY_OPEN_FILES> r;
         platform.open_append(1, folder.dos("new.txt"));
       },
       failure::kTooManyFiles},
      {"write, a full disk",
       [&] {
         platform.open_append(1, folder.dos("log.txt"));
         Refused<&Calls::WriteFile, ERROR_DISK_FULL> r;
         platform.write_line(1, "x");
       },
       failure::kDiskFull},
      {"a folder, a full disk",
       [&] {
         Refused<&Calls::CreateDirectoryW, ERROR_DISK_FULL> r;
         platform.make_folder(folder.dos("claim"));
       },
       failure::kDiskFull},
      {"a folder, no access",
       [&] {
         Refused<&Calls::CreateDirectoryW, ERROR_ACCESS_DENIED> r;
         platform.make_folder(folder.dos("claim"));
       },
       failure::kPermissionDenied},
      {"delete, no access",
       [&] {
         Refused<&Calls::DeleteFileW, ERROR_ACCESS_DENIED> r;
         platform.kill(folder.dos("acq_1.zip"));
       },
       failure::kPermissionDenied},
      {"delete, another program's share mode",
       [&] {
         Refused<&Calls::DeleteFileW, ERROR_SHARING_VIOLATION> r;
         platform.kill(folder.dos("acq_1.zip"));
       },
       failure::kPathFileAccessError},
      {"a fresh file, a full disk",
       [&] {
         Refused<&Calls::CreateFileW, ERROR_DISK_FULL> r;
         platform.open_output(1, folder.dos("agglis.bat"));
       },
       failure::kDiskFull},
      {"start, no access",
       [&] {
         Refused<&Calls::CreateProcessW, ERROR_ACCESS_DENIED> r;
         platform.shell(folder.dos("prog.exe"), WindowStyle::normal, "");
       },
       failure::kPermissionDenied},
      {"start, no memory",
       [&] {
         Refused<&Calls::CreateProcessW, ERROR_NOT_ENOUGH_MEMORY> r;
         platform.shell(folder.dos("prog.exe"), WindowStyle::normal, "");
       },
       failure::kOutOfMemory},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(failure_of(c.replace_and_call), c.expected) << c.what;
    platform.close_all();
  }
  // Nothing refused was lost: the files are all still there.
  EXPECT_TRUE(fs::exists(folder.path() / "log.txt"));
  EXPECT_TRUE(fs::exists(folder.path() / "acq_1.zip"));
}

TEST_F(Win32CallFaults, AShareModeThatKeepsOthersOutIsAHoldToWaitFor) {
  {
    Refused<&Calls::CreateFileW, ERROR_SHARING_VIOLATION> shared;
    std::optional<FileFacts> facts = platform.file_facts(folder.dos("acq_1.zip"));
    ASSERT_TRUE(facts);
    EXPECT_TRUE(facts->in_use);
    Moved moved = platform.move_file(folder.dos("acq_1.zip"), folder.dos("taken.zip"), false);
    EXPECT_EQ(moved.outcome, Moved::Outcome::held) << moved.reason;
  }
  {
    // No right to rename it: refused, and the archive stays where it was.
    Refused<&Calls::SetFileInformationByHandle, ERROR_ACCESS_DENIED> denied;
    Moved moved = platform.move_file(folder.dos("acq_1.zip"), folder.dos("taken.zip"), false);
    EXPECT_NE(moved.outcome, Moved::Outcome::done);
  }
  EXPECT_TRUE(fs::exists(folder.path() / "acq_1.zip"));
  EXPECT_TRUE(platform.move_file(folder.dos("acq_1.zip"), folder.dos("taken.zip"), false).done());
}

}  // namespace
}  // namespace qano
