// The path that the Access driver gets for a database whose name the ANSI code page cannot spell.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace qano {
namespace {

namespace fs = std::filesystem;

TEST(DatabasePath, OutsideTheAnsiCodePageTheDriverGetsTheShortName) {
  const fs::path dir = fs::temp_directory_path() / L"qano_dbq_\u4e2d\u6587";
  fs::create_directories(dir);
  const fs::path file = dir / L"dati_\u4e2d.mdb";
  std::ofstream(file) << "x";
  const std::string utf8 = win32::from_wide(file.wstring());
  ASSERT_FALSE(text::fits_ansi(utf8)) << "code page " << GetACP();

  const std::string given = odbc_database_path(utf8, OdbcDialect::access);
  EXPECT_TRUE(text::fits_ansi(given)) << given;
  // The short form names the same file.
  EXPECT_NE(GetFileAttributesW(win32::to_wide(given).c_str()), INVALID_FILE_ATTRIBUTES) << given;
  // A path that fits goes as it is.
  const std::string plain = "c:\\super\\societ\xC3\xA0.mdb";
  EXPECT_EQ(odbc_database_path(plain, OdbcDialect::access), plain);
  fs::remove_all(dir);
}

TEST(DatabasePath, WithoutAShortNameItIsFailure3044) {
  // A file that is not there has no short name.
  const std::string missing = "c:\\nowhere\\dati_\xE4\xB8\xAD.mdb";
  try {
    odbc_database_path(missing, OdbcDialect::access);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3044);
    EXPECT_NE(f.text().find("code page"), std::string::npos) << f.text();
  }
}

}  // namespace
}  // namespace qano
