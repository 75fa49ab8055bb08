// The Linux platform on real files in a temporary Wine-like prefix.
#include "platform/posix/posix_platform.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text.h"
#include "tests/support/failure_of.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::failure_of;
using testing::read_file;
using testing::TempPrefix;
using testing::WorkingDirectory;

class PosixPlatformTest : public ::testing::Test {
 protected:
  PosixPlatformTest() : platform(PosixOptions{prefix.prefix(), "C"}) {}
  TempPrefix prefix;
  PosixPlatform platform;
};

TEST_F(PosixPlatformTest, WritesLinesInWindows1252WithCrLfAndAtOnce) {
  fs::create_directories(prefix.c() / "super" / "bkp");
  platform.open_output(3, "C:\\super\\bkp\\x.txt");
  platform.write_line(3, "caffè 5 €");
  // Handed to the system at once: readable before any close.
  EXPECT_EQ(read_file(prefix.c() / "super/bkp/x.txt"), "caff\xE8 5 \x80\r\n");
  platform.write_line(3, "Ωmega ok");  // a letter Windows-1252 lacks
  platform.write_line(3, "");
  platform.close_all();
  EXPECT_EQ(read_file(prefix.c() / "super/bkp/x.txt"), "caff\xE8 5 \x80\r\n?mega ok\r\n\r\n");
}

TEST_F(PosixPlatformTest, DirFindsOrdinaryMatchesInCaseInsensitiveOrder) {
  fs::path q = prefix.c() / "qano";
  for (const char* name : {"acq_b.zip", "ACQ_A.ZIP", "acq_c.zipx", "acq.zip", "xacq_1.zip",
                           ".acq_hidden.zip", "società.txt", "acq_ä.zip"}) {
    prefix.write(q / name, "z");
  }
  fs::create_directories(q / "acq_folder.zip");
  fs::create_symlink(q / "acq_b.zip", q / "acq_link.zip");          // a link to a file counts
  fs::create_symlink(q / "acq_folder.zip", q / "acq_linkdir.zip");  // a link to a folder does not

  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"C:\\qano\\acq_*.zip", {"ACQ_A.ZIP", "acq_b.zip", "acq_link.zip", "acq_ä.zip"}},
      {"c:\\QANO\\ACQ_?.ZIP", {"ACQ_A.ZIP", "acq_b.zip", "acq_ä.zip"}},
      {"C:\\qano\\acq_c.zip", {}},
      {"C:\\qano\\acq.zip", {"acq.zip"}},
      {"C:\\qano\\SOCIETÀ.TXT", {"società.txt"}},
      {"C:\\qano\\*",
       {"acq.zip", "ACQ_A.ZIP", "acq_b.zip", "acq_c.zipx", "acq_link.zip", "acq_ä.zip",
        "società.txt", "xacq_1.zip"}},
      {"C:\\qano\\acq_folder.zip", {}},
      {"C:\\missing\\acq_*.zip", {}},
      {"Q:\\qano\\acq_*.zip", {}},  // a drive that is not mapped
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform.dir_all(c.pattern), c.names) << c.pattern;
    EXPECT_EQ(platform.dir(c.pattern), c.names.empty() ? "" : c.names.front()) << c.pattern;
  }
}

TEST_F(PosixPlatformTest, MapsDrivesAndMixedCasePaths) {
  fs::create_directories(prefix.c() / "Super" / "BKP");
  prefix.map_drive('d', prefix.root() / "data");
  prefix.write("data/negozio/Dati.mdb", "x");
  EXPECT_EQ(platform.native_path("C:\\SUPER\\bkp\\log.txt"),
            (prefix.c() / "Super/BKP/log.txt").string());
  EXPECT_EQ(platform.native_path("d:\\NEGOZIO\\dati.MDB"),
            (prefix.root() / "data/negozio/Dati.mdb").string());
  // A share of the network, under dosdevices/unc/<server>/<share>.
  prefix.write("dosdevices/unc/negozio/Archivi/dati.mdb", "x");
  EXPECT_EQ(platform.native_path("\\\\NEGOZIO\\ARCHIVI\\DATI.MDB"),
            (prefix.root() / "dosdevices/unc/negozio/Archivi/dati.mdb").string());
  EXPECT_EQ(platform.native_path("\\\\altro\\archivi\\dati.mdb"), std::nullopt);
  EXPECT_EQ(platform.native_path("C:\\nowhere\\x.txt"), std::nullopt);
  EXPECT_EQ(platform.native_path("Q:\\x.txt"), std::nullopt);
  EXPECT_EQ(platform.drives(), (std::vector<std::string>{"c:", "d:"}));
}

TEST_F(PosixPlatformTest, CurrentDriveIsTheLongestMatchOfTheWorkingDirectory) {
  prefix.map_drive('z', "/");
  prefix.map_drive('e', prefix.c() / "super");  // a drive inside another drive's folder
  fs::create_directories(prefix.c() / "qano");
  struct Case {
    fs::path folder;
    const char* drive;
  };
  const Case cases[] = {
      {prefix.c() / "qano", "c:"},
      {prefix.c() / "super", "e:"},
      {prefix.c(), "c:"},
      {prefix.root(), "z:"},
  };
  for (const Case& c : cases) {
    WorkingDirectory here(c.folder);
    EXPECT_EQ(platform.current_drive(), c.drive) << c.folder;
  }
}

TEST(PosixPlatformWithoutPrefix, HasNoDrivesAndFindsNothing) {
  TempPrefix empty;
  fs::remove_all(empty.root() / "dosdevices");
  PosixPlatform platform(PosixOptions{empty.prefix(), "C"});
  WorkingDirectory here(empty.root());
  EXPECT_EQ(platform.current_drive(), "c:");
  EXPECT_TRUE(platform.drives().empty());
  EXPECT_EQ(platform.dir("C:\\qano\\acq_*.zip"), "");
  try {
    platform.open_append(2, "C:\\super\\bkp\\log.txt");
    FAIL() << "opened a file on a drive that does not exist";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 76);
    EXPECT_EQ(f.text(), "Path not found");
  }
}

TEST(PosixPlatformRegional, ShopFormsUnderTheCLocaleAndTheLocaleOtherwise) {
  PosixPlatform c(PosixOptions{"/nonexistent", "C"});
  EXPECT_EQ(c.short_date(Date{2026, 12, 7}), "07/12/2026");
  EXPECT_EQ(c.long_time(TimeOfDay{9, 5, 3}), "09:05:03");
  EXPECT_EQ(c.decimal_separator(), ",");
  EXPECT_EQ(c.thousands_separator(), ".");
  EXPECT_EQ(c.currency_symbol(), "€");
  EXPECT_EQ(text::upper("c:\\società\\dati.mdb"), "C:\\SOCIETÀ\\DATI.MDB");
  Date today = c.today();
  EXPECT_GE(today.year, 2024);
  EXPECT_EQ(c.year(today), today.year);
}

}  // namespace
}  // namespace qano
