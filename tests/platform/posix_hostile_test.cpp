// The Linux platform where the exchange folder, the environment and the machine are hostile:
// links planted at the program's files, writers that hold a file open, a relative prefix, a
// deleted working folder, a standard error nobody reads, too few descriptors, a database that is
// rewritten while it is read, a second program on the same prefix.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/jet/torn_read_retry.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/failure_of.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::failure_of;
using testing::read_file;
using testing::TempPrefix;
using testing::WorkingDirectory;

// Runs `body` in a child process and returns its exit status, or 128 + the signal that ended it.
int in_child(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class PosixHostile : public ::testing::Test {
 protected:
  PosixHostile() {
    fs::create_directories(prefix.c() / "qano");
    fs::create_directories(prefix.c() / "super" / "bkp");
    prefix.write(outside, "not the program's");
  }
  TempPrefix prefix;
  PosixPlatform platform{PosixOptions{prefix.prefix(), "C"}};
  fs::path outside = prefix.root() / "outside.txt";
};

TEST_F(PosixHostile, TheLogIsNeverWrittenThroughALinkButItsFolderMayBeOne) {
  const char* log = "C:\\super\\bkp\\log.txt";
  for (const fs::path& target : {outside, prefix.root() / "nowhere.txt"}) {
    fs::remove(prefix.c() / "super/bkp/log.txt");
    fs::create_symlink(target, prefix.c() / "super/bkp/log.txt");
    try {
      platform.open_append(2, log);
      ADD_FAILURE() << "a link was opened";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), 75);
      EXPECT_NE(f.text().find(log), std::string::npos) << f.text();
    }
    std::optional<Failure> check = platform.open_append_failure(2, log);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->number(), 75);
  }
  EXPECT_EQ(read_file(outside), "not the program's");
  EXPECT_FALSE(fs::exists(prefix.root() / "nowhere.txt"));

  // A folder on the way that an administrator linked to another disk is fine.
  fs::create_directories(prefix.root() / "disk2");
  fs::create_directory_symlink(prefix.root() / "disk2", prefix.c() / "super/linked");
  platform.open_append(2, "C:\\super\\linked\\log.txt");
  platform.write_line(2, "x");
  platform.close_all();
  EXPECT_EQ(read_file(prefix.root() / "disk2/log.txt"), "x\r\n");
}

TEST_F(PosixHostile, AnArchiveHeldOpenByAStalledWriterIsInUse) {
  fs::path archive = prefix.c() / "qano/acq_1.zip";
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t writer = ::fork();
  if (writer == 0) {
    int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT, 0644);
    [[maybe_unused]] ssize_t n = ::write(fd, "PK\3\4", 4);
    // Its last write a minute ago, as a stalled upload.
    timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
    ::futimens(fd, times);
    char c = 0;
    n = ::write(ready[1], "r", 1);
    n = ::read(go[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  std::optional<FileFacts> facts = platform.file_facts("C:\\qano\\acq_1.zip");
  ASSERT_TRUE(facts.has_value());
  EXPECT_GT(facts->seconds_since_write, 50.0);
  EXPECT_TRUE(facts->in_use) << "the writer still holds it";
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  ::waitpid(writer, nullptr, 0);
  EXPECT_FALSE(platform.file_facts("C:\\qano\\acq_1.zip")->in_use);
}

TEST_F(PosixHostile, ARelativePrefixIsMadeAbsoluteForTheChildren) {
  WorkingDirectory here(prefix.root().parent_path());
  PosixPlatform relative{PosixOptions{prefix.root().filename().string(), "C"}};
  EXPECT_EQ(relative.wine_prefix(), prefix.prefix());
  EXPECT_EQ(relative.drives(), std::vector<std::string>{"c:"});
}

TEST_F(PosixHostile, ADeletedWorkingFolderIsOnDriveC) {
  prefix.map_drive('z', "/");
  fs::create_directories(prefix.root() / "gone");
  WorkingDirectory here(prefix.root() / "gone");
  fs::remove(prefix.root() / "gone");
  EXPECT_EQ(platform.current_drive(), "c:");
}

TEST_F(PosixHostile, AStandardErrorNobodyReadsDoesNotEndTheProgram) {
  int status = in_child([] {
    int fds[2];
    if (::pipe(fds) != 0) return 2;
    ::close(fds[0]);
    ::dup2(fds[1], 2);
    PosixPlatform own{PosixOptions{"/nonexistent", "C"}};
    own.message_box("nobody reads this");
    own.message_box("nor this");
    return 0;
  });
  EXPECT_EQ(status, 0) << "128 + 13 is SIGPIPE";
}

TEST_F(PosixHostile, OutOfDescriptorsIsTooManyFilesNotAMissingFile) {
#ifdef QANO_SANITIZED
  // The sanitizers check memory through a pipe of their own: without a free descriptor they
  // report a fault of their own making. The normal build runs this test.
  GTEST_SKIP() << "needs free descriptors for the sanitizers; runs in the normal build";
#endif
  prefix.write(prefix.c() / "team/super.mdb", "x");
  int status = in_child([this] {
    // Every descriptor in use, as in a process that leaks them.
    rlimit limit{64, 64};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    while (::open("/dev/null", O_RDONLY) >= 0) {
    }
    return failure_of([this] { platform.dir("c:\\team\\super.mdb"); });
  });
  EXPECT_EQ(status, 67);
}

// An engine that stands for the suite rewriting the database while it is read: the file changes
// during the first `torn` reads.
class RewrittenWhileRead : public JetEngine {
 public:
  RewrittenWhileRead(fs::path file, int torn) : file_(std::move(file)), torn_(torn) {}
  JetResult first_row(const std::string&, const SelectStatement&) override {
    ++reads;
    if (reads <= torn_) {
      std::ofstream(file_, std::ios::app) << "x";
      return JetResult{};  // what a torn read may look like: no row
    }
    JetResult row;
    row.eof = false;
    return row;
  }
  int reads = 0;

 private:
  fs::path file_;
  int torn_;
};

TEST_F(PosixHostile, ADatabaseThatChangedWhileItWasReadIsReadAgain) {
  fs::path file = prefix.c() / "team/super.mdb";
  prefix.write(file, "jet");
  for (int torn : {0, 2, 100}) {
    PosixPlatform own{PosixOptions{prefix.prefix(), "C"}};
    auto engine = std::make_unique<RewrittenWhileRead>(file, torn);
    RewrittenWhileRead* seen = engine.get();
    own.set_jet_engine(retry_torn_reads(std::move(engine), posix::file_identity));
    try {
      JetResult r = own.query("c:\\team\\super.mdb", "select * from inizio where codute = 1 ");
      EXPECT_FALSE(r.eof) << torn;
      EXPECT_EQ(seen->reads, torn + 1) << torn;
    } catch (const Failure& f) {
      EXPECT_EQ(torn, 100);
      EXPECT_EQ(f.number(), 3343);
      EXPECT_NE(f.text().find("kept changing"), std::string::npos) << f.text();
      EXPECT_NE(f.text().find("c:\\team\\super.mdb"), std::string::npos) << f.text();
      EXPECT_EQ(seen->reads, 5);
    }
  }
}

TEST_F(PosixHostile, OneProgramPerPrefix) {
  TempPrefix other;
  auto first = std::make_unique<PosixPlatform>(PosixOptions{prefix.prefix(), "C"});
  PosixPlatform second{PosixOptions{prefix.prefix() + "/.", "C"}};
  PosixPlatform elsewhere{PosixOptions{other.prefix(), "C"}};
  EXPECT_TRUE(first->claim_single_instance());
  EXPECT_FALSE(second.claim_single_instance()) << "the same prefix, however it is written";
  EXPECT_TRUE(elsewhere.claim_single_instance());
  first.reset();  // the first program ends
  EXPECT_TRUE(second.claim_single_instance());
  // Two prefixes whose paths share far more bytes than a socket's name holds are two.
  fs::path deep = prefix.root() / std::string(120, 'a') / std::string(120, 'b');
  fs::create_directories(deep / "one");
  fs::create_directories(deep / "two");
  PosixPlatform one{PosixOptions{(deep / "one").string(), "C"}};
  PosixPlatform two{PosixOptions{(deep / "two").string(), "C"}};
  EXPECT_TRUE(one.claim_single_instance());
  EXPECT_TRUE(two.claim_single_instance()) << "a prefix that only begins like another";
}

}  // namespace
}  // namespace qano
