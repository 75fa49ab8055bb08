// The Windows platform on real files in a temporary folder, under the regional settings that the
// test run gives the Wine prefix (those of the shops: dd/MM/yyyy, HH:mm:ss, decimal comma).
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>

#include "platform/text.h"
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
  EXPECT_TRUE(fs::is_directory(folder.path() / "folder.txt"));

  platform.open_output(3, folder.dos("a.txt"));
  EXPECT_EQ(failure_of([&] { platform.open_output(3, folder.dos("b.txt")); }), 55);
  platform.close_all();
  platform.close_all();  // nothing open: nothing happens
  EXPECT_EQ(failure_of([&] { platform.write_line(3, "x"); }), 52);
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
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_1.zip"))->in_use) << "let go";
  // The time of the last write, the same while the file is unchanged.
  EXPECT_EQ(platform.file_facts(folder.dos("acq_1.zip"))->write_stamp,
            static_cast<std::int64_t>(t.QuadPart));
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_1.zip"))->read_only);
  set_attributes(archive, FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(platform.file_facts(folder.dos("acq_1.zip"))->read_only);

  fs::create_directories(folder.path() / "acq_d.zip");
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_d.zip")));
  EXPECT_FALSE(platform.file_facts(folder.dos("acq_2.zip")));
}

// What another program does to an archive or the script, as a backup or scanning program would:
// held open at all, with whatever sharing, it waits.
TEST_F(Win32PlatformTest, AFileHeldWithAnySharingIsInUseReadOnlyOrNot) {
  const std::string stub = testing::build_file(QANO_STUB_PROGRAM);
  struct Case {
    const char* what;
    unsigned long share;
    bool read_only;
  };
  const Case cases[] = {
      {"no sharing", 0, false},
      {"read only, no delete sharing", FILE_SHARE_READ, false},
      {"read and write sharing, no delete", FILE_SHARE_READ | FILE_SHARE_WRITE, false},
      {"the same on a read-only file", FILE_SHARE_READ, true},
      {"every sharing", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
      {"every sharing, read-only", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path file = folder.write("agglis.bat", "REM x\r\n");
    if (c.read_only) set_attributes(file, FILE_ATTRIBUTE_READONLY);
    {
      testing::Holder holder(stub, file, c.share);
      ASSERT_TRUE(holder.holding());
      std::optional<FileFacts> facts = platform.file_facts(folder.dos("agglis.bat"));
      ASSERT_TRUE(facts);
      EXPECT_TRUE(facts->in_use);
      EXPECT_EQ(facts->read_only, c.read_only);
    }
    EXPECT_FALSE(platform.file_facts(folder.dos("agglis.bat"))->in_use);
    set_attributes(file, FILE_ATTRIBUTE_NORMAL);
    fs::remove(file);
  }
}

TEST_F(Win32PlatformTest, EntriesListEveryKindAndAttributeInCaseInsensitiveOrder) {
  fs::path hidden = folder.write("errore_acq_1.zip", "PK");
  set_attributes(hidden, FILE_ATTRIBUTE_HIDDEN);
  fs::create_directories(folder.path() / "ERRORE_2_acq_1.zip");
  fs::path system = folder.write("errore_3_acq_1.zip", "PK");
  set_attributes(system, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  folder.write("errore_acq_2.zip", "PK");
  std::vector<Entry> found = platform.entries(folder.dos("errore*_acq_1.zip"));
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "ERRORE_2_acq_1.zip");
  EXPECT_EQ(found[0].kind, EntryKind::folder);
  EXPECT_EQ(found[1].name, "errore_3_acq_1.zip");
  EXPECT_TRUE(found[1].system);
  EXPECT_FALSE(found[1].hidden);
  EXPECT_EQ(found[2].name, "errore_acq_1.zip");
  EXPECT_EQ(found[2].kind, EntryKind::file);
  EXPECT_TRUE(found[2].hidden);
  // One name alone, whatever its case; nothing for a missing name or folder.
  ASSERT_EQ(platform.entries(folder.dos("ERRORE_ACQ_1.ZIP")).size(), 1u);
  EXPECT_EQ(platform.entries(folder.dos("ERRORE_ACQ_1.ZIP"))[0].name, "errore_acq_1.zip");
  EXPECT_TRUE(platform.entries(folder.dos("acq_var.txt")).empty());
  EXPECT_TRUE(platform.entries(folder.dos("missing\\*")).empty());
  EXPECT_FALSE(fs::exists(folder.path() / "acq_var.txt")) << "looking creates nothing";
}

TEST_F(Win32PlatformTest, RemoveEntryTakesAnyAttributesButNeverAFolderOrItsContents) {
  struct Leftover {
    const char* name;
    DWORD attributes;
  };
  const Leftover leftovers[] = {
      {"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
      {"system.txt", FILE_ATTRIBUTE_SYSTEM},
      {"read only.txt", FILE_ATTRIBUTE_READONLY},
      {"all.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY},
  };
  for (const Leftover& l : leftovers) {
    set_attributes(folder.write(l.name, "stale"), l.attributes);
    platform.remove_entry(folder.dos(l.name));
    EXPECT_FALSE(fs::exists(folder.path() / l.name)) << l.name;
  }
  folder.write("acq_var.txt\\inside.txt", "kept");
  fs::path held = folder.write("held.txt", "x");
  testing::Holder holder(testing::build_file(QANO_STUB_PROGRAM), held, FILE_SHARE_READ);
  ASSERT_TRUE(holder.holding());
  struct Case {
    const char* name;
    int number;
  };
  const Case cases[] = {
      {"acq_var.txt", 75}, {"missing.txt", 53}, {"missing\\acq_var.txt", 76}, {"held.txt", 75}};
  for (const Case& c : cases) {
    try {
      platform.remove_entry(folder.dos(c.name));
      ADD_FAILURE() << c.name << " removed";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.number) << c.name;
      EXPECT_NE(f.text().find(folder.dos(c.name)), std::string::npos) << f.text();
    }
  }
  EXPECT_EQ(read_file(folder.path() / "acq_var.txt" / "inside.txt"), "kept");
  EXPECT_EQ(read_file(held), "x");
  // Nothing of the program's own is left beside them.
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(folder.path())) {
    left.push_back(e.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"acq_var.txt", "held.txt"}));
}

// Fresh files of a run cut short, under this very process's names: they never stand in the way,
// and the first fresh file in their folder takes them away (but one that another program holds).
TEST_F(Win32PlatformTest, ALeftoverFreshFileOfTheSameNameNeverStandsInTheWay) {
  const std::string pid = std::to_string(GetCurrentProcessId());
  for (int n = 1; n <= 3; ++n) folder.write("~qano" + pid + "-" + std::to_string(n) + ".tmp", "x");
  fs::path held = folder.path() / ("~qano" + pid + "-4.tmp");
  folder.write(held.filename().string(), "x");
  testing::Holder holder(testing::build_file(QANO_STUB_PROGRAM), held, 0);
  ASSERT_TRUE(holder.holding());
  platform.open_output(3, folder.dos("agglis.bat"));
  platform.write_line(3, "REM new");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "agglis.bat"), "REM new\r\n");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(folder.path())) {
    left.push_back(e.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"agglis.bat", held.filename().string()}));
}

// Whether this system renames with POSIX semantics (FileRenameInfoEx, Windows 10 1607 and
// later); Wine 8 does not.
bool system_renames_posix(const fs::path& folder) {
  fs::path from = folder / "posix-probe-from.txt";
  std::ofstream(from) << "x";
  HANDLE h = CreateFileW(from.c_str(), DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::wstring to = (folder / "posix-probe-to.txt").wstring();
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + (to.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  DWORD flags = 0x3;  // replace if exists, POSIX semantics
  std::memcpy(info, &flags, sizeof flags);
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, to.c_str(), (to.size() + 1) * sizeof(wchar_t));
  bool renamed = SetFileInformationByHandle(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(22), info,
                                            static_cast<DWORD>(buffer.size())) != 0;
  CloseHandle(h);
  std::error_code ignored;
  fs::remove(from, ignored);
  fs::remove(to, ignored);
  return renamed;
}

// A scanner that shares everything: where the system renames over an open file (POSIX
// semantics) the file is replaced all the same, the scanner reading on what it opened; where it
// does not, the classic rename's refusal is a failure naming the file (the intake then waits),
// and the file is as it was.
TEST_F(Win32PlatformTest, AFileHeldWithEverySharingIsReplacedWhereTheSystemCan) {
  fs::path script = folder.write("agglis.bat", "REM old\r\n");
  testing::Holder holder(testing::build_file(QANO_STUB_PROGRAM), script,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(holder.holding());
  if (system_renames_posix(folder.path())) {
    platform.open_output(3, folder.dos("agglis.bat"));
    platform.write_line(3, "REM new");
    platform.close_all();
    EXPECT_EQ(read_file(script), "REM new\r\n");
    return;
  }
  std::printf(
      "[ NOTE     ] no POSIX rename on this system (Wine): the classic rename's refusal "
      "is checked instead\n");
  try {
    platform.open_output(3, folder.dos("agglis.bat"));
    ADD_FAILURE() << "replaced without POSIX semantics";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 75) << f.text();
    EXPECT_NE(f.text().find("another program holds"), std::string::npos) << f.text();
  }
  EXPECT_EQ(read_file(script), "REM old\r\n");
}

TEST_F(Win32PlatformTest, ClearReadOnlyLetsAFileBeDeletedAndKeepsItsOtherAttributes) {
  fs::path archive = folder.write("acq_1.zip", "PK");
  set_attributes(archive, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  platform.clear_read_only(folder.dos("acq_1.zip"));
  EXPECT_EQ(GetFileAttributesW(archive.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  platform.clear_read_only(folder.dos("acq_1.zip"));  // none: nothing happens
  EXPECT_EQ(failure_of([&] { platform.clear_read_only(folder.dos("acq_2.zip")); }), 53);
  EXPECT_TRUE(DeleteFileW(archive.c_str()));
}

TEST_F(Win32PlatformTest, OutputIsAlwaysAFreshFileInPlaceOfWhatStoodThere) {
  // Read-only and hidden: replaced, not refused (the old platform gave 70 for read-only).
  set_attributes(folder.write("agglis.bat", "old old old\r\n"),
                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  platform.open_output(3, folder.dos("AGGLIS.BAT"));
  platform.write_line(3, "new");
  platform.close_all();
  EXPECT_EQ(read_file(folder.path() / "agglis.bat"), "new\r\n");
  DWORD a = GetFileAttributesW((folder.path() / "agglis.bat").c_str());
  EXPECT_EQ(a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  // Held by another program without delete sharing: a failure that names it, the file kept.
  testing::Holder holder(testing::build_file(QANO_STUB_PROGRAM), folder.path() / "agglis.bat",
                         FILE_SHARE_READ);
  ASSERT_TRUE(holder.holding());
  try {
    platform.open_output(3, folder.dos("agglis.bat"));
    ADD_FAILURE() << "opened";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 75);
    EXPECT_NE(text::fold(f.text()).find(text::fold(folder.dos("agglis.bat"))), std::string::npos)
        << f.text();
  }
  EXPECT_EQ(read_file(folder.path() / "agglis.bat"), "new\r\n");
  EXPECT_EQ(failure_of([&] { platform.write_line(3, "x"); }), 52);
}

TEST(Win32SingleInstance, OneClaimPerMachineUntilItsHolderGoes) {
  auto first = std::make_unique<Win32Platform>();
  ASSERT_TRUE(first->claim_single_instance());
  EXPECT_TRUE(first->claim_single_instance()) << "the holder's own claim again";
  Win32Platform second;
  EXPECT_FALSE(second.claim_single_instance());
  first.reset();
  EXPECT_TRUE(second.claim_single_instance());
}

TEST(Win32Regional, TheUsersShortDateLongTimeAndSeparators) {
  Win32Platform platform;
  EXPECT_EQ(platform.short_date(Date{2026, 12, 7}), "07/12/2026");
  EXPECT_EQ(platform.short_date(Date{2027, 1, 31}), "31/01/2027");
  EXPECT_EQ(platform.long_time(TimeOfDay{9, 5, 3}), "09:05:03");
  EXPECT_EQ(platform.long_time(TimeOfDay{23, 59, 59}), "23:59:59");
  EXPECT_EQ(platform.decimal_separator(), ",");
  EXPECT_EQ(platform.thousands_separator(), ".");
  EXPECT_EQ(text::upper("c:\\società\\dati.mdb"), "C:\\SOCIETÀ\\DATI.MDB");
  // A date that the system does not format (before 1601) has the shops' form.
  EXPECT_EQ(platform.short_date(Date{1500, 3, 4}), "04/03/1500");
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
