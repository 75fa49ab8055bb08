#include "startup/data_path_resolution.h"

#include <gtest/gtest.h>

namespace qano {
namespace {

TEST(SplitAtBackslashes, KeepsEmptyParts) {
  using Parts = std::vector<std::string>;
  EXPECT_EQ(split_at_backslashes(""), Parts{});
  EXPECT_EQ(split_at_backslashes("dati.mdb"), Parts{"dati.mdb"});
  EXPECT_EQ(split_at_backslashes("\\\\server\\share"), (Parts{"", "", "server", "share"}));
  EXPECT_EQ(split_at_backslashes("C:\\super\\"), (Parts{"C:", "super", ""}));
  EXPECT_EQ(split_at_backslashes("\\"), (Parts{"", ""}));
}

TEST(DeriveDataPaths, FolderOfTheDataFile) {
  struct Case {
    const char* database;
    const char* letter;
    const char* folder;
  };
  const Case cases[] = {
      // The worked examples.
      {"C:\\super\\dati.mdb", "c", "C:\\super\\"},
      {"D:\\negozio\\archivi\\DATI.MDB", "c", "D:\\negozio\\archivi\\"},
      {"\\\\server\\share\\Dati.mdb", "c", "\\\\server\\share\\"},
      {"dati.mdb", "c", "c:\\super\\"},
      {"C:\\super\\ dati.mdb", "c", "C:\\super\\"},
      // Blanks around the name do not matter; blanks in the folders stay.
      {"C:\\super\\dati.mdb   ", "c", "C:\\super\\"},
      {"C:\\my data\\ DATI.MDB ", "c", "C:\\my data\\"},
      {"C:\\ super \\dati.mdb", "c", "C:\\ super \\"},
      // Another casing is another name: the scan goes on past it.
      {"C:\\a\\dATI.mdb\\b\\dati.mdb", "c", "C:\\a\\dATI.mdb\\b\\"},
      {"C:\\a\\Dati.MDB\\Dati.mdb", "c", "C:\\a\\Dati.MDB\\"},
      // The first match ends the folder.
      {"C:\\dati.mdb\\x\\dati.mdb", "c", "C:\\"},
      {"\\dati.mdb", "c", "\\"},
      // UNC paths, deeper ones too.
      {"\\\\srv\\negozi\\roma\\cassa 1\\dati.mdb", "c", "\\\\srv\\negozi\\roma\\cassa 1\\"},
      // The default folder takes the drive letter as given.
      {"DATI.MDB", "D", "D:\\super\\"},
      {"  dati.mdb", "c", "c:\\super\\"},
  };
  for (const Case& c : cases) {
    DataPaths paths = derive_data_paths(c.database, c.letter);
    EXPECT_EQ(paths.cartella_dati, c.folder) << c.database;
    EXPECT_EQ(paths.db_dati, std::string(c.folder) + "dati.mdb") << c.database;
    EXPECT_EQ(paths.db_vendite, std::string(c.folder) + "vendite.mdb") << c.database;
  }
}

TEST(DeriveDataPaths, AtMostElevenPartsAreLookedAt) {
  struct Case {
    const char* database;
    const char* folder;
  };
  const Case cases[] = {
      // The name as the eleventh part: the ten before it.
      {"C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\dati.mdb", "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\"},
      // As the twelfth or later: the first eleven parts.
      {"C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\dati.mdb", "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\"},
      {"C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\dati.mdb", "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\"},
      // Eleven parts and no match: all eleven.
      {"C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\x.mdb", "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\x.mdb\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(derive_data_paths(c.database, "c").cartella_dati, c.folder) << c.database;
  }
}

TEST(DeriveDataPaths, NoDataFileNamedInFewerThanElevenParts) {
  struct Case {
    const char* database;
    const char* folder;
  };
  const Case cases[] = {
      // The named file's own folder.
      {"C:\\super\\archivio.mdb", "C:\\super\\"},
      {"C:\\a\\b\\dATI.mdb", "C:\\a\\b\\"},
      {"C:\\super\\", "C:\\super\\"},
      {"\\\\server\\share\\x.mdb", "\\\\server\\share\\"},
      {"C:\\1\\2\\3\\4\\5\\6\\7\\8\\x.mdb", "C:\\1\\2\\3\\4\\5\\6\\7\\8\\"},
      // Nothing left: the default folder.
      {"", "c:\\super\\"},
      {"archivio.mdb", "c:\\super\\"},
      {"   ", "c:\\super\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(derive_data_paths(c.database, "c").cartella_dati, c.folder) << c.database;
  }
}

}  // namespace
}  // namespace qano
