// The ODBC engine's own ways on real Access 2000 files written by the project's Jet 4 writer,
// through unixODBC and the MDBTools driver: the choice of driver and the paths that driver would
// misread. What it shares with every engine is in tests/jet_contract.
#include "platform/odbc/odbc_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "tests/support/sample_databases.h"
#include "tools/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;

class OdbcEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { file_ = new jet4::TemporaryDatabase(sample::types_database()); }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
  }

  static std::string file() { return file_->path().string(); }
  JetResult run(const std::string& sql, const std::string& path = file()) {
    return engine->first_row(path, sql);
  }
  int failure_of(const std::string& sql, const std::string& path = file()) {
    try {
      run(sql, path);
    } catch (const Failure& f) {
      last_text = f.text();
      return f.number();
    }
    return 0;
  }

  static jet4::TemporaryDatabase* file_;
  std::unique_ptr<JetEngine> engine = make_odbc_engine();
  std::string last_text;
};

jet4::TemporaryDatabase* OdbcEngineTest::file_ = nullptr;

// A file of whole pages without the signature of an Access database never reaches the driver.
TEST_F(OdbcEngineTest, AFileWithoutTheSignatureIsNotHandedToTheDriver) {
  fs::path pages = file() + ".pages";
  std::ofstream(pages) << std::string(4096, '\0');
  EXPECT_EQ(failure_of("select * from pv where proprio = '1' ", pages.string()), 3343);
  EXPECT_EQ(last_text, "Unrecognized database format '" + pages.string() + "'.");
  fs::remove(pages);
}

TEST_F(OdbcEngineTest, FallsBackToTheNextDriverOnlyWhenOneCannotBeLoaded) {
  OdbcOptions options;
  options.drivers = {{"Microsoft Access Driver (*.mdb)", OdbcDialect::access},
                     {"MDBTools", OdbcDialect::mdbtools}};
  JetResult r =
      make_odbc_engine(options)->first_row(file(), "select * from pv where proprio = '1' ");
  EXPECT_FALSE(r.eof);

  options.drivers = {{"No Such Driver", OdbcDialect::access},
                     {"Nor This One", OdbcDialect::mdbtools}};
  try {
    make_odbc_engine(options)->first_row(file(), "select * from pv where proprio = '1' ");
    FAIL() << "a query ran without a driver";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3170);
    EXPECT_EQ(f.text().rfind("Could not find installable ISAM.", 0), 0u) << f.text();
    EXPECT_NE(f.text().find("Nor This One"), std::string::npos) << f.text();
  }
}

// The MDBTools driver copies the path into a buffer of 256 bytes up to the first ';', and takes a
// "DSN" anywhere for a data source name: such a path is refused before the driver sees it.
TEST_F(OdbcEngineTest, RefusesPathsTheMdbtoolsDriverWouldMisread) {
  fs::path base = fs::temp_directory_path() / ("qano-odbc-paths-" + std::to_string(::getpid()));
  const fs::path folders[] = {base / "with;semicolon", base / "myDSNs",
                              base / std::string(250, 'p')};
  for (const fs::path& folder : folders) {
    fs::create_directories(folder);
    fs::path db = folder / "dati.mdb";
    jet4::write_database(sample::data_database(), db);
    EXPECT_EQ(failure_of("select * from pv where proprio = '1' ", db.string()), 3044) << db;
    EXPECT_EQ(last_text.rfind("'" + db.string() + "' is not a valid path", 0), 0u) << last_text;
  }
  fs::remove_all(base);
}

}  // namespace
}  // namespace qano
