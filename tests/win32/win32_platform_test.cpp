// The Windows platform on real files in a temporary folder, under the regional settings that the
// test run gives the Wine prefix (those of the shops: dd/MM/yyyy, HH:mm:ss, decimal comma).
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/win32_support.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempFolder;

int failure_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

void set_attributes(const fs::path& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << path;
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  TempFolder folder;
  Win32Platform platform;
};

TEST_F(Win32PlatformTest, WritesLinesInTheAnsiCodePageWithCrLfAndAtOnce) {
  std::string path = folder.dos("log.txt");
  platform.open_output(3, path);
  platform.write_line(3, "caffè 5 €");
  // On disk before any close, for any reader.
  EXPECT_EQ(read_file(folder.path() / "log.txt"), "caff\xE8 5 \x80\r\n");
  platform.write_line(3, "Ωmega ok");  // a letter the code page lacks, and no look-alike
  platform.write_line(3, "");
  EXPECT_EQ(read_file(folder.path() / "log.txt"), "caff\xE8 5 \x80\r\n?mega ok\r\n\r\n");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "log.txt"), "caff\xE8 5 \x80\r\n?mega ok\r\n\r\n");
}

TEST_F(Win32PlatformTest, AppendKeepsAndOutputTruncatesWhateverTheCase) {
  folder.write("f.txt", "old\r\n");
  platform.open_append(2, folder.dos("F.TXT"));
  platform.write_line(2, "new");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "f.txt"), "old\r\nnew\r\n");
  platform.open_output(3, folder.dos("f.txt"));
  platform.write_line(3, "only");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "f.txt"), "only\r\n");
  // A file that is not there is created by either.
  platform.open_append(2, folder.dos("new log.txt"));
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "new log.txt"), "");
  // A hidden file is rewritten like any other.
  fs::path hidden = folder.write("hidden.bat", "long old content\r\n");
  set_attributes(hidden, FILE_ATTRIBUTE_HIDDEN);
  platform.open_output(3, folder.dos("hidden.bat"));
  platform.write_line(3, "x");
  platform.close_all();
  EXPECT_EQ(read_file(hidden), "x\r\n");
}

TEST_F(Win32PlatformTest, NumberedFileFailuresHaveTheLinuxNumbers) {
  fs::create_directories(folder.path() / "folder.txt");
  fs::path read_only = folder.write("read only.txt", "keep\r\n");
  set_attributes(read_only, FILE_ATTRIBUTE_READONLY);
  struct Case {
    const char* what;
    std::function<void()> call;
    int number;
  };
  const Case cases[] = {
      {"folder missing", [&] { platform.open_append(2, folder.dos("missing\\log.txt")); }, 76},
      {"a folder", [&] { platform.open_output(3, folder.dos("folder.txt")); }, 75},
      {"read-only append", [&] { platform.open_append(2, folder.dos("read only.txt")); }, 70},
      {"not open", [&] { platform.write_line(4, "x"); }, 52},
      {"number 0", [&] { platform.open_output(0, folder.dos("a.txt")); }, 52},
      {"number 512", [&] { platform.open_output(512, folder.dos("a.txt")); }, 52},
  };
  for (const Case& c : cases) EXPECT_EQ(failure_of(c.call), c.number) << c.what;
  EXPECT_FALSE(fs::exists(folder.path() / "missing"));
  EXPECT_EQ(read_file(read_only), "keep\r\n");

  platform.open_output(3, folder.dos("a.txt"));
  EXPECT_EQ(failure_of([&] { platform.open_output(3, folder.dos("b.txt")); }), 55);
  platform.close_all();
  platform.close_all();  // nothing open: nothing happens
  EXPECT_EQ(failure_of([&] { platform.write_line(3, "x"); }), 52);
}

TEST_F(Win32PlatformTest, EveryEntryIsSeenAndRemovedWhateverItsAttributes) {
  set_attributes(folder.write("acq_var.txt", "stale"),
                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  fs::create_directories(folder.path() / "errore_acq_1.zip");
  set_attributes(folder.write("errore_2_acq_1.zip", "x"), FILE_ATTRIBUTE_SYSTEM);
  std::vector<Entry> seen = platform.entries(folder.dos("errore*_acq_1.zip"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].name, "errore_2_acq_1.zip");
  EXPECT_TRUE(seen[0].system);
  EXPECT_EQ(seen[1].kind, EntryKind::folder);
  std::vector<Entry> leftover = platform.entries(folder.dos("ACQ_VAR.TXT"));
  ASSERT_EQ(leftover.size(), 1u);
  EXPECT_TRUE(leftover[0].hidden && leftover[0].read_only);

  platform.remove_entry(folder.dos("acq_var.txt"));  // hidden and read-only: it goes all the same
  EXPECT_FALSE(fs::exists(folder.path() / "acq_var.txt"));
  try {
    platform.remove_entry(folder.dos("errore_acq_1.zip"));
    ADD_FAILURE() << "a folder was removed";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 75);
    EXPECT_NE(f.text().find("errore_acq_1.zip"), std::string::npos) << f.text();
  }
  // A read-only script is replaced by a fresh one; a read-only archive made deletable.
  set_attributes(folder.write("agglis.bat", "old\r\n"), FILE_ATTRIBUTE_READONLY);
  platform.open_output(3, folder.dos("agglis.bat"));
  platform.write_line(3, "new");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "agglis.bat"), "new\r\n");
  set_attributes(folder.write("acq_1.zip", "PK"), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(platform.file_facts(folder.dos("acq_1.zip"))->read_only);
  platform.clear_read_only(folder.dos("acq_1.zip"));
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_1.zip"))->read_only);
  platform.kill(folder.dos("acq_1.zip"));
}

TEST_F(Win32PlatformTest, TellsWhatAnAppendWouldFailWithAndTouchesNothing) {
  fs::create_directories(folder.path() / "folder.txt");
  fs::path read_only = folder.write("read only.txt", "keep\r\n");
  set_attributes(read_only, FILE_ATTRIBUTE_READONLY);
  folder.write("old.txt", "old\r\n");
  auto number_of = [&](int n, const std::string& name) {
    std::optional<Failure> f = platform.open_append_failure(n, folder.dos(name));
    return f ? f->number() : 0;
  };
  EXPECT_EQ(number_of(2, "old.txt"), 0);
  EXPECT_EQ(number_of(2, "new.txt"), 0);
  EXPECT_EQ(number_of(2, "missing\\log.txt"), 76);
  EXPECT_EQ(number_of(2, "folder.txt"), 75);
  EXPECT_EQ(number_of(2, "read only.txt"), 70);
  EXPECT_EQ(number_of(0, "old.txt"), 52);
  EXPECT_FALSE(fs::exists(folder.path() / "new.txt"));
  EXPECT_EQ(read_file(folder.path() / "old.txt"), "old\r\n");
}

TEST_F(Win32PlatformTest, KillDeletesOrFailsWithTheLinuxNumbers) {
  folder.write("acq_var.txt", "x");
  platform.kill(folder.dos("ACQ_VAR.TXT"));
  EXPECT_FALSE(fs::exists(folder.path() / "acq_var.txt"));

  fs::create_directories(folder.path() / "folder.txt");
  set_attributes(folder.write("read only.txt", "x"), FILE_ATTRIBUTE_READONLY);
  folder.write("open.txt", "x");
  platform.open_append(2, folder.dos("open.txt"));
  struct Case {
    const char* name;
    int number;
  };
  const Case cases[] = {
      {"acq_var.txt", 53}, {"missing\\acq_var.txt", 76}, {"folder.txt", 75}, {"read only.txt", 70},
      {"open.txt", 75},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_of([&] { platform.kill(folder.dos(c.name)); }), c.number) << c.name;
  }
  platform.close_all();
  platform.kill(folder.dos("open.txt"));
  EXPECT_FALSE(fs::exists(folder.path() / "open.txt"));
  EXPECT_TRUE(fs::exists(folder.path() / "read only.txt"));
}

TEST_F(Win32PlatformTest, DirFindsOrdinaryMatchesInCaseInsensitiveOrder) {
  for (const char* name : {"acq_b.zip", "ACQ_a.zip", "acq_c.ZIP", "acq_1.zipx", "xacq_1.zip",
                           "acq_h.zip", "acq_s.zip", "acq_ro.zip", "acq_è.zip", "note.txt"}) {
    folder.write(name, "PK");
  }
  fs::create_directories(folder.path() / "acq_d.zip");
  set_attributes(folder.path() / "acq_h.zip", FILE_ATTRIBUTE_HIDDEN);
  set_attributes(folder.path() / "acq_s.zip", FILE_ATTRIBUTE_SYSTEM);
  set_attributes(folder.path() / "acq_ro.zip", FILE_ATTRIBUTE_READONLY);  // still ordinary

  using Names = std::vector<std::string>;
  EXPECT_EQ(platform.dir_all(folder.dos("acq_*.zip")),
            (Names{"ACQ_a.zip", "acq_b.zip", "acq_c.ZIP", "acq_ro.zip", "acq_è.zip"}));
  EXPECT_EQ(platform.dir(folder.dos("acq_*.zip")), "ACQ_a.zip");
  EXPECT_EQ(platform.dir(folder.dos("NOTE.TXT")), "note.txt");  // the name as it is stored
  EXPECT_EQ(platform.dir(folder.dos("acq_h.zip")), "");
  EXPECT_EQ(platform.dir(folder.dos("acq_d.zip")), "");
  EXPECT_EQ(platform.dir(folder.dos("missing\\acq_*.zip")), "");
  EXPECT_EQ(platform.dir(folder.dos("missing\\note.txt")), "");
  EXPECT_EQ(platform.dir(folder.dos("acq_1.zip")), "");
  EXPECT_EQ(platform.dir(folder.dos("nothing_*.zip")), "");
  // Blanks and dots at the end of a path are no part of it, as everywhere in Windows.
  EXPECT_EQ(platform.dir(folder.dos("note.txt. ")), "note.txt");
}

TEST_F(Win32PlatformTest, FileFactsTellSizeAgeAndAFileStillBeingWritten) {
  fs::path archive = folder.write("acq_1.zip", std::string(1000, 'x'));
  // Written an hour ago.
  HANDLE h = CreateFileW(archive.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{};
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= 3600ULL * 10000000ULL;
  FILETIME hour_ago{t.LowPart, t.HighPart};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &hour_ago));
  CloseHandle(h);

  std::optional<FileFacts> facts = platform.file_facts(folder.dos("ACQ_1.ZIP"));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->size, 1000u);
  EXPECT_NEAR(facts->seconds_since_write, 3600, 60);
  EXPECT_FALSE(facts->in_use);

  // Another process still writing it: it is not there yet, whatever its size and age.
  HANDLE writer = CreateFileW(archive.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  facts = platform.file_facts(folder.dos("acq_1.zip"));
  ASSERT_TRUE(facts);
  EXPECT_TRUE(facts->in_use);
  CloseHandle(writer);
  // Another reader that lets others delete the file does not stand in the way; one that does
  // not (a backup or scanning program) would make the script's Del fail: the archive waits.
  HANDLE reader = CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_1.zip"))->in_use);
  CloseHandle(reader);
  HANDLE holder = CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(platform.file_facts(folder.dos("acq_1.zip"))->in_use);
  CloseHandle(holder);

  fs::create_directories(folder.path() / "acq_d.zip");
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_d.zip")));
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_2.zip")));
}

TEST(Win32Regional, TheUsersShortDateLongTimeAndSeparators) {
  Win32Platform platform;
  EXPECT_EQ(platform.short_date(Date{2026, 12, 7}), "07/12/2026");
  EXPECT_EQ(platform.short_date(Date{2027, 1, 31}), "31/01/2027");
  EXPECT_EQ(platform.long_time(TimeOfDay{9, 5, 3}), "09:05:03");
  EXPECT_EQ(platform.long_time(TimeOfDay{23, 59, 59}), "23:59:59");
  EXPECT_EQ(platform.decimal_separator(), ",");
  EXPECT_EQ(platform.thousands_separator(), ".");
  EXPECT_EQ(platform.upper_case("c:\\società\\dati.mdb"), "C:\\SOCIETÀ\\DATI.MDB");
  // Today as the system tells it, in the same form.
  SYSTEMTIME st{};
  GetLocalTime(&st);
  Date today = platform.today();
  EXPECT_EQ(today, (Date{st.wYear, st.wMonth, st.wDay}));
}

TEST(Win32Drives, CurrentDriveIsTheWorkingDirectorysAndTheListHasEveryDrive) {
  Win32Platform platform;
  std::vector<std::string> drives = platform.drives();
  // Wine's own: C: for the prefix, Z: for the host's root.
  EXPECT_NE(std::find(drives.begin(), drives.end(), "c:"), drives.end());
  EXPECT_NE(std::find(drives.begin(), drives.end(), "z:"), drives.end());
  EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end()));

  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(L"Z:\\"));
  EXPECT_EQ(platform.current_drive(), "z:");
  ASSERT_TRUE(SetCurrentDirectoryW(L"c:\\windows"));
  EXPECT_EQ(platform.current_drive(), "c:");
  SetCurrentDirectoryW(saved);
}

TEST(Win32Jet, WithoutAnEngineEveryQueryIsFailure3000) {
  Win32Platform platform;
  EXPECT_EQ(failure_of([&] { platform.query("C:\\team\\super.mdb", "select * from x"); }), 3000);
}

}  // namespace
}  // namespace qano
