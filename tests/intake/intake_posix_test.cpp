// The intake on the Linux platform: real files in a temporary prefix, a stand-in wine on PATH,
// and, where the road needs them, users of the machine's own made by the test: the shop's user
// who runs the program and the upload service's user who delivers the archives.
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <pwd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "intake/archive_intake.h"
#include "intake/companion.h"
#include "intake/unpack_script.h"
#include "platform/posix/posix_platform.h"
#include "tools/dev/kit/program.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::StubWine;
using testing::TempPrefix;
using testing::WorkingDirectory;

class IntakeOnLinux : public ::testing::Test {
 protected:
  IntakeOnLinux() {
    fs::create_directories(qano / "fatture");
    fs::create_directories(prefix.c() / "super" / "bkp");
    prefix.write("drive_c/super/qanodivulgazioni.exe", "MZ");
    // The program runs from another drive: the script must still work in its claim's folder.
    prefix.map_drive('d', prefix.root() / "shop");
    here = std::make_unique<WorkingDirectory>(prefix.root() / "shop");
    platform.open_append(2, "C:\\super\\bkp\\logqanocontrol_07122026.txt");
  }
  // An archive that arrived an hour ago, or just now.
  void arrive(const std::string& name, bool just_now = false,
              const std::string& bytes = "PK\x03\x04") {
    fs::path file = qano / name;
    prefix.write(file, bytes);
    if (!just_now) age(file);
  }
  static void age(const fs::path& file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  // This test's children: those of earlier tests in the same process are left out.
  std::vector<long> new_children() const {
    return testing::child_processes_since(earlier_children);
  }
  void intake_once() {
    intake.run([&] { launch_companion(platform); });
  }
  // The claims in the program's folder, by id.
  std::vector<std::string> claims() const {
    std::vector<std::string> ids;
    if (!fs::exists(qano / "qanocontrol")) return ids;
    for (const auto& e : fs::directory_iterator(qano / "qanocontrol")) {
      if (e.path().filename() != "archiviati") ids.push_back(e.path().filename());
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  // The script the intake writes for a claim.
  static std::string script_for(const intake::Claim& claim) {
    std::string bytes;
    for (const std::string& line : intake::unpack_script(claim)) bytes += line + "\r\n";
    return bytes;
  }
  // The script's part, as Wine's cmd would play it once the unzip succeeded: the archive kept,
  // the invoices filed.
  void play_script(const std::string& id, const std::string& archive) {
    intake::Claim claim{id, archive};
    fs::path folder = qano / "qanocontrol" / id;
    fs::rename(folder / archive, qano / "qanocontrol" / "archiviati" / claim.filed_name());
    prefix.write(qano / "fatture" / "acq_var.txt", "invoices of " + archive);
  }
  // The entries of C:\qano, the program's folder and the invoices folder left out.
  std::vector<std::string> exchange() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(qano)) {
      std::string name = e.path().filename();
      if (name != "qanocontrol" && name != "fatture") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempPrefix prefix;
  fs::path qano = prefix.c() / "qano";
  StubWine wine;
  PosixPlatform platform{PosixOptions{prefix.prefix(), "C"}};
  std::unique_ptr<WorkingDirectory> here;
  ArchiveIntake intake{platform};
  std::vector<long> earlier_children = testing::child_processes();
};

TEST_F(IntakeOnLinux, ClaimsTheArchiveThenStartsItsScriptInTheClaimsFolderThenTheCompanion) {
  arrive("acq_1.zip");
  prefix.write("drive_c/qano/acq_var.txt", "left over");
  ASSERT_EQ(platform.current_drive(), "d:");

  intake_once();

  std::vector<std::string> ids = claims();
  ASSERT_EQ(ids.size(), 1u);
  fs::path folder = qano / "qanocontrol" / ids[0];
  EXPECT_EQ(read_file(folder / "acq_1.zip"), "PK\x03\x04") << "moved whole";
  EXPECT_EQ(read_file(qano / "agglis.bat"), script_for({ids[0], "acq_1.zip"}));
  EXPECT_EQ(exchange(), std::vector<std::string>{"agglis.bat"});
  EXPECT_THROW(platform.write_line(2, "x"), Failure) << "the log is closed";
  ASSERT_TRUE(wine.wait_for_calls(2));
  std::vector<StubWine::Call> calls = wine.calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const StubWine::Call& call : calls) {
    bool script = call.args.size() == 6;
    if (script) {
      EXPECT_EQ(call.args, (std::vector<std::string>{"start", "/wait", "/max", "cmd", "/c",
                                                     "C:\\qano\\agglis.bat"}));
      EXPECT_EQ(call.working_directory, folder.string());
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
  EXPECT_FALSE(fs::exists(qano / "agglis.bat"));
  EXPECT_FALSE(fs::exists(qano / "qanocontrol")) << "nothing is made for nothing";
  EXPECT_EQ(new_children(), std::vector<long>{});
  EXPECT_TRUE(wine.calls().empty());
}

TEST_F(IntakeOnLinux, ANewDeliveryDuringALingeringScriptIsTakenOnceTheScriptHasEnded) {
  wine.linger(true);
  arrive("acq_1.zip", false, "PK first");
  intake_once();
  ASSERT_TRUE(wine.wait_for_calls(2));
  std::string first = claims().at(0);
  arrive("acq_1.zip", false, "PK second");  // the same name, delivered again
  std::vector<long> children = new_children();

  intake_once();  // the script still runs: nothing at all
  EXPECT_EQ(read_file(qano / "agglis.bat"), script_for({first, "acq_1.zip"}));
  EXPECT_EQ(new_children(), children);
  EXPECT_EQ(read_file(qano / "acq_1.zip"), "PK second");

  // The script files the first and ends (the companion lingers on); a later intake claims the
  // second delivery as an archive of its own, once the suite has taken the invoices.
  play_script(first, "acq_1.zip");
  fs::remove(qano / "fatture" / "acq_var.txt");
  wine.release();
  EXPECT_TRUE(testing::eventually([&] {
    intake_once();
    return !fs::exists(qano / "acq_1.zip");
  }));
  std::vector<std::string> ids = claims();
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_NE(ids[0], first);
  EXPECT_EQ(read_file(qano / "qanocontrol" / ids[0] / "acq_1.zip"), "PK second");
  EXPECT_TRUE(wine.wait_for_calls(4));
}

// The program is killed while its script runs (the unzip takes long); the next run must not
// rewrite agglis.bat under the old interpreter's feet, nor start the claim a second time.
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
  std::string claim = claims().at(0);
  std::string script = read_file(qano / "agglis.bat");

  // The next run's intakes: nothing while the orphaned script runs.
  ArchiveIntake next(platform);
  arrive("acq_2.zip");
  std::optional<FileFacts> held = platform.file_facts("C:\\qano\\agglis.bat");
  ASSERT_TRUE(held.has_value());
  EXPECT_TRUE(held->in_use);
  next.run([] {});
  next.run([] {});
  EXPECT_EQ(read_file(qano / "agglis.bat"), script);
  EXPECT_EQ(wine.calls().size(), 1u) << "the claim was started once in all";
  std::vector<intake::ArchiveFate> fates = next.survey();
  ASSERT_EQ(fates.size(), 2u);
  EXPECT_EQ(fates[0].claim, claim);
  EXPECT_EQ(fates[1].fate, intake::Fate::waits);
  EXPECT_NE(fates[1].reason.find("held by a running script"), std::string::npos);

  // Once it has ended, having filed its claim, the next intake goes on with acq_2.zip.
  play_script(claim, "acq_1.zip");
  fs::remove(qano / "fatture" / "acq_var.txt");
  wine.release();
  EXPECT_TRUE(
      testing::eventually([&] { return !platform.file_facts("C:\\qano\\agglis.bat")->in_use; }));
  next.run([] {});
  EXPECT_NE(read_file(qano / "agglis.bat").find("\\acq_2.zip acq_var.txt"), std::string::npos);
}

TEST_F(IntakeOnLinux, EveryLeftoverGoesWhateverItIsAndAFolderThereIsLeftAlone) {
  fs::path outside = prefix.root() / "outside.txt";
  prefix.write(outside, "not the program's");
  struct Case {
    const char* what;
    std::function<void()> scene;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"case twins",
       [&] {
         prefix.write(qano / "acq_var.txt", "stale");
         prefix.write(qano / "ACQ_VAR.TXT", "stale too");
       },
       {"agglis.bat"}},
      {"a link to a file outside",
       [&] { fs::create_symlink(outside, qano / "acq_var.txt"); },
       {"agglis.bat"}},
      {"a dangling link",
       [&] { fs::create_symlink(prefix.root() / "nowhere", qano / "Acq_Var.txt"); },
       {"agglis.bat"}},
      {"a read-only file",
       [&] {
         prefix.write(qano / "acq_var.txt", "stale");
         fs::permissions(qano / "acq_var.txt", fs::perms::owner_read);
       },
       {"agglis.bat"}},
      {"a folder",
       [&] { prefix.write(qano / "acq_var.txt" / "old.txt", "stale"); },
       {"acq_var.txt", "agglis.bat"}},
  };
  for (const Case& c : cases) {
    for (const auto& e : fs::directory_iterator(qano)) {
      if (e.path().filename() != "fatture") fs::remove_all(e.path());
    }
    arrive("acq_1.zip");
    c.scene();
    ArchiveIntake fresh(platform);
    fresh.run([] {});
    EXPECT_EQ(exchange(), c.left) << c.what;
    EXPECT_EQ(claims().size(), 1u) << c.what;
    EXPECT_EQ(read_file(outside), "not the program's") << c.what;
    EXPECT_FALSE(fs::exists(prefix.root() / "nowhere")) << c.what;
  }
  EXPECT_EQ(read_file(qano / "acq_var.txt" / "old.txt"), "stale") << "a folder is never emptied";
}

TEST_F(IntakeOnLinux, ALinkPlantedAtTheScriptIsReplacedNeverWrittenThrough) {
  fs::path outside = prefix.root() / "outside.txt";
  prefix.write(outside, "not the program's");
  for (const fs::path& target : {outside, prefix.root() / "nowhere"}) {
    fs::remove(qano / "agglis.bat");
    fs::create_symlink(target, qano / "AGGLIS.BAT");
    arrive("acq_1.zip");
    ArchiveIntake fresh(platform);
    fresh.run([] {});
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(qano / "agglis.bat")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(qano / "AGGLIS.BAT")));
    EXPECT_NE(read_file(qano / "agglis.bat").find("\\acq_1.zip acq_var.txt"), std::string::npos);
    EXPECT_EQ(read_file(outside), "not the program's");
    EXPECT_FALSE(fs::exists(prefix.root() / "nowhere"));
  }
}

TEST_F(IntakeOnLinux, LinksAreNeverTakenNorFiledThroughAndCaseTwinsAreTwoArchives) {
  fs::path outside = prefix.root() / "outside.zip";
  prefix.write(outside, "PK not the shop's");
  fs::create_symlink(outside, qano / "acq_0.zip");
  fs::create_symlink(outside, qano / "fatture" / "acq_var.txt");
  arrive("ACQ_1.ZIP");
  arrive("acq_1.zip");
  // A link where the invoices go holds every archive back.
  intake_once();
  EXPECT_TRUE(claims().empty());
  std::vector<intake::ArchiveFate> fates = intake.survey();
  ASSERT_EQ(fates.size(), 3u);
  EXPECT_EQ(fates[0].name, "acq_0.zip");
  EXPECT_EQ(fates[0].fate, intake::Fate::left);
  EXPECT_EQ(fates[1].reason.rfind("a link stands at C:\\qano\\fatture\\acq_var.txt", 0), 0u)
      << fates[1].reason;
  // Once it is gone, the twins are taken one after the other; the link archive never.
  fs::remove(qano / "fatture" / "acq_var.txt");
  intake_once();
  ASSERT_EQ(claims().size(), 1u);
  EXPECT_TRUE(fs::exists(qano / "qanocontrol" / claims()[0] / "ACQ_1.ZIP"));
  play_script(claims()[0], "ACQ_1.ZIP");
  fs::remove(qano / "fatture" / "acq_var.txt");
  // Once its script (the stand-in wine) has ended, the next look claims the twin.
  EXPECT_TRUE(testing::eventually([&] {
    intake_once();
    return !fs::exists(qano / "acq_1.zip");
  }));
  ASSERT_EQ(claims().size(), 1u);
  EXPECT_TRUE(fs::exists(qano / "qanocontrol" / claims()[0] / "acq_1.zip"));
  EXPECT_TRUE(fs::is_symlink(qano / "acq_0.zip"));
  EXPECT_EQ(read_file(outside), "PK not the shop's");
}

// Sets or clears the immutable flag of a file, as chattr +i / -i; false where the file system or
// the user cannot.
bool set_immutable(const fs::path& file, bool on) {
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

TEST_F(IntakeOnLinux, AnImmutableArchiveIsLeftAcrossARestartAndNeverFiled) {
  arrive("acq_1.zip");
  arrive("acq_2.zip");
  if (!set_immutable(qano / "acq_1.zip", true)) {
    GTEST_SKIP() << "this file system or user cannot mark a file immutable (needs root on ext4)";
  }
  struct Clear {
    fs::path file;
    ~Clear() { set_immutable(file, false); }
  } clear{qano / "acq_1.zip"};
  intake_once();
  ASSERT_EQ(claims().size(), 1u);
  EXPECT_TRUE(fs::exists(qano / "qanocontrol" / claims()[0] / "acq_2.zip"));
  // The program starts again: the immutable archive is still left, and nothing is filed twice.
  ArchiveIntake next(platform);
  std::vector<intake::ArchiveFate> fates = next.survey();
  auto of_1 = std::find_if(fates.begin(), fates.end(),
                           [](const auto& f) { return f.name == "acq_1.zip" && f.claim.empty(); });
  ASSERT_NE(of_1, fates.end());
  EXPECT_EQ(of_1->fate, intake::Fate::left);
  EXPECT_EQ(of_1->reason, "it cannot be moved: it is marked immutable");
  EXPECT_TRUE(fs::exists(qano / "acq_1.zip"));
}

// A user of this machine made for the test, removed when the object goes.
class TestUser {
 public:
  explicit TestUser(const std::string& name) : name_(name) {
    std::string add =
        "useradd --system --no-create-home --shell /usr/sbin/nologin " + name_ + " >/dev/null 2>&1";
    made_ = ::getpwnam(name_.c_str()) == nullptr && std::system(add.c_str()) == 0;
    if (const passwd* pw = ::getpwnam(name_.c_str())) {
      uid_ = pw->pw_uid;
      gid_ = pw->pw_gid;
    }
  }
  ~TestUser() {
    if (made_) {
      [[maybe_unused]] int ignored = std::system(("userdel " + name_ + " 2>/dev/null").c_str());
    }
  }
  bool ok() const { return uid_ != 0; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

  // Runs `body` in a child process as this user; what it returns comes back as text.
  std::string run(const std::function<std::string()>& body) const {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      std::string result = "could not become the user";
      if (::setgroups(0, nullptr) == 0 && ::setresgid(gid_, gid_, gid_) == 0 &&
          ::setresuid(uid_, uid_, uid_) == 0) {
        try {
          result = body();
        } catch (const std::exception& e) {
          result = std::string("failure: ") + e.what();
        }
      }
      [[maybe_unused]] ssize_t written = ::write(fds[1], result.data(), result.size());
      ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
  }

 private:
  std::string name_;
  bool made_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

// The shop's user runs the program; the upload service's user delivers into C:\qano.
class IntakeBetweenUsers : public IntakeOnLinux {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "making the shop's and the uploader's users needs root";
    if (!shop_user.ok() || !uploader.ok()) GTEST_SKIP() << "useradd could not make the users";
    // The shop's user may reach the prefix and write C:\qano; so may the uploader.
    for (fs::path p = qano; p != p.root_path(); p = p.parent_path()) {
      ::chmod(p.c_str(), 0755);
      if (p == prefix.root()) break;
    }
    fs::permissions(qano, fs::perms::all);
    ASSERT_EQ(::chown(qano.c_str(), shop_user.uid(), shop_user.gid()), 0);
    for (const fs::path& p :
         {qano / "fatture", prefix.c() / "super", prefix.c() / "super" / "bkp"}) {
      ASSERT_EQ(::chown(p.c_str(), shop_user.uid(), shop_user.gid()), 0);
    }
  }
  // An archive of the uploader's, with these permissions.
  void uploaded(const std::string& name, fs::perms perms) {
    arrive(name);
    ASSERT_EQ(::chown((qano / name).c_str(), uploader.uid(), uploader.gid()), 0);
    fs::permissions(qano / name, perms);
  }
  // Two looks of the shop's program: the fate of each archive after them, one line each. Its
  // `wine` ends at once.
  std::string two_looks_as_shop() {
    fs::path bin = prefix.root() / "bin";
    if (!fs::exists(bin / "wine")) {
      fs::create_directories(bin);
      fs::create_symlink("/bin/true", bin / "wine");
    }
    return shop_user.run([&] {
      ::setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
      PosixPlatform own{PosixOptions{prefix.prefix(), "C"}};
      ArchiveIntake looks(own);
      std::string out;
      for (int look = 0; look < 2; ++look) {
        try {
          looks.run([] {});
        } catch (const Failure& f) {
          out += "look " + std::to_string(look + 1) + ": failure " + f.what() + "\n";
        }
      }
      for (const intake::ArchiveFate& f : looks.survey()) {
        out += f.name + (f.claim.empty() ? "" : " (claimed)") + " " + intake::fate_name(f.fate) +
               ": " + f.reason + "\n";
      }
      return out;
    });
  }

  TestUser shop_user{"qanotest-shop"};
  TestUser uploader{"qanotest-upload"};
};

TEST_F(IntakeBetweenUsers, AnArchiveTheShopsUserCannotReadOrMoveIsLeftAndTheNextOneTaken) {
  uploaded("acq_1.zip", fs::perms::none);  // mode 000
  uploaded("acq_2.zip", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  arrive("acq_3.zip");
  ASSERT_EQ(::chown((qano / "acq_3.zip").c_str(), shop_user.uid(), shop_user.gid()), 0);
  // A drop folder of the system's that keeps its owners' files: the shop's user may not move
  // the uploader's.
  ASSERT_EQ(::chown(qano.c_str(), 0, 0), 0);
  fs::permissions(qano, fs::perms::all | fs::perms::sticky_bit);
  std::string fates = two_looks_as_shop();
  EXPECT_NE(fates.find("acq_1.zip left: it cannot be read: Permission denied\n"), std::string::npos)
      << fates;
  EXPECT_NE(fates.find("acq_2.zip left: it cannot be moved: it belongs to another user"),
            std::string::npos)
      << fates;
  EXPECT_TRUE(fs::exists(qano / "acq_1.zip"));
  EXPECT_TRUE(fs::exists(qano / "acq_2.zip"));
  EXPECT_FALSE(fs::exists(qano / "acq_3.zip")) << "the next one is taken: " << fates;
}

TEST_F(IntakeBetweenUsers, AnotherUsersStalledUploadWaitsUntilItHasStoodStillThroughALook) {
  // The uploader writes half of the archive and stalls, the file still open.
  int to_writer[2];
  ASSERT_EQ(::pipe2(to_writer, O_CLOEXEC), 0);
  fs::path upload = qano / "acq_1.zip";
  std::thread writer([&] {
    uploader.run([&] {
      int fd = ::open(upload.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      [[maybe_unused]] ssize_t n = ::write(fd, "PK half", 7);
      char go = 0;
      [[maybe_unused]] ssize_t r = ::read(to_writer[0], &go, 1);  // stalled until told
      n = ::write(fd, " and the rest", 13);
      ::close(fd);
      return std::string();
    });
  });
  struct Join {
    std::thread& thread;
    int fd;
    ~Join() {
      [[maybe_unused]] ssize_t w = ::write(fd, "g", 1);  // never left stalled
      if (thread.joinable()) thread.join();
      ::close(fd);
    }
  } join{writer, to_writer[1]};
  ASSERT_TRUE(testing::eventually([&] {
    std::error_code error;
    return fs::file_size(upload, error) == 7;
  }));
  age(upload);  // stalled for long: no settling time saves it
  std::string seen = shop_user.run([&] {
    PosixPlatform own{PosixOptions{prefix.prefix(), "C"}};
    std::optional<FileFacts> facts = own.file_facts("C:\\qano\\acq_1.zip");
    if (!facts) return std::string("not there");
    return std::string(facts->use_unknown ? "unknown" : "known") + (facts->in_use ? " held" : "");
  });
  EXPECT_EQ(seen, "unknown") << "another user's writer cannot be seen";
  // While it grows between looks it is never taken; once whole and still, it is.
  std::string fates = shop_user.run([&] {
    PosixPlatform own{PosixOptions{prefix.prefix(), "C"}};
    ArchiveIntake looks(own);
    looks.run([] {});
    return std::string(fs::exists(upload) ? "waited" : "taken");
  });
  EXPECT_EQ(fates, "waited");
  [[maybe_unused]] ssize_t w = ::write(to_writer[1], "g", 1);
  writer.join();
  age(upload);
  EXPECT_EQ(fs::file_size(upload), 20u);
  fates = two_looks_as_shop();
  EXPECT_FALSE(fs::exists(upload)) << fates;
  EXPECT_NE(fates.find("acq_1.zip (claimed)"), std::string::npos) << fates;
}

}  // namespace
}  // namespace qano
