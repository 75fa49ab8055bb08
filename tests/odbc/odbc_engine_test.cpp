// The ODBC engine's own ways on real Access 2000 files written by the project's Jet 4 writer,
// through unixODBC and the MDBTools driver: the choice of driver and the paths that driver would
// misread. What it shares with every engine is in tests/jet_contract.
#include "platform/odbc/odbc_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "platform/jet/jet_contract.h"
#include "tests/support/sample_databases.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;

// The failure a query through the ODBC engine ends with; number 0 when it ends normally.
Failure failure_of(const std::string& file, const std::string& sql) {
  try {
    jet_contract::run_query(*make_odbc_engine(), file, sql);
  } catch (const Failure& f) {
    return f;
  }
  return Failure(0, "");
}

// A file of whole pages without the signature of an Access database never reaches the driver.
TEST(OdbcEngine, AFileWithoutTheSignatureIsNotHandedToTheDriver) {
  jet4::TemporaryDatabase db(sample::data_database());
  fs::path pages = db.path().string() + ".pages";
  std::ofstream(pages) << std::string(4096, '\0');
  Failure f = failure_of(pages.string(), "select * from pv where proprio = '1' ");
  EXPECT_EQ(f.number(), 3343);
  EXPECT_EQ(f.text(), "Unrecognized database format '" + pages.string() + "'.");
  fs::remove(pages);
}

TEST(OdbcEngine, FallsBackToTheNextDriverOnlyWhenOneCannotBeLoaded) {
  jet4::TemporaryDatabase db(sample::types_database());
  const std::string file = db.path().string();
  OdbcOptions options;
  options.drivers = {{"Microsoft Access Driver (*.mdb)", OdbcDialect::access},
                     {"MDBTools", OdbcDialect::mdbtools}};
  JetResult r = jet_contract::run_query(*make_odbc_engine(options), file,
                                        "select * from pv where proprio = '1' ");
  EXPECT_FALSE(r.eof);

  options.drivers = {{"No Such Driver", OdbcDialect::access},
                     {"Nor This One", OdbcDialect::mdbtools}};
  try {
    jet_contract::run_query(*make_odbc_engine(options), file,
                            "select * from pv where proprio = '1' ");
    FAIL() << "a query ran without a driver";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3170);
    EXPECT_EQ(f.text().rfind("Could not find installable ISAM.", 0), 0u) << f.text();
    EXPECT_NE(f.text().find("Nor This One"), std::string::npos) << f.text();
  }
}

// The MDBTools driver copies the path into a buffer of 256 bytes up to the first ';', and takes a
// "DSN" anywhere for a data source name: such a path is refused before the driver sees it.
TEST(OdbcEngine, RefusesPathsTheMdbtoolsDriverWouldMisread) {
  fs::path base = fs::temp_directory_path() / ("qano-odbc-paths-" + std::to_string(::getpid()));
  const fs::path folders[] = {base / "with;semicolon", base / "myDSNs",
                              base / std::string(250, 'p')};
  for (const fs::path& folder : folders) {
    fs::create_directories(folder);
    fs::path db = folder / "dati.mdb";
    jet4::write_database(sample::data_database(), db);
    Failure f = failure_of(db.string(), "select * from pv where proprio = '1' ");
    EXPECT_EQ(f.number(), 3044) << db;
    EXPECT_EQ(f.text().rfind("'" + db.string() + "' is not a valid path", 0), 0u) << f.text();
  }
  fs::remove_all(base);
}

}  // namespace
}  // namespace qano
