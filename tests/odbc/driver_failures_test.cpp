// The driver's refusals and the failures they stand for, on the answers the Access driver and the
// MDBTools driver give. Built in the Linux and in the Windows build alike.
#include "platform/odbc/driver_failures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qano {
namespace {

constexpr const char* kAccess = "[Microsoft][ODBC Microsoft Access Driver] ";
const std::string kFile = "c:\\super\\dati.mdb";

struct Case {
  const char* what;
  DriverStep step;
  std::vector<DriverRecord> records;
  int number;
};

std::string access(const std::string& text) {
  return kAccess + text;
}

std::vector<Case> cases() {
  using S = DriverStep;
  return {
      {"in use or no permission",
       S::connect,
       {{"HY000", -1032,
         access("The Microsoft Jet database engine cannot open the file '(unknown)'. It is already "
                "opened exclusively by another user, or you need permission to view its data.")}},
       3051},
      {"the same in Italian: the native error tells",
       S::connect,
       {{"HY000", -1032, access("Impossibile aprire il file '(sconosciuto)'.")}},
       3051},
      {"the newer driver's wording",
       S::connect,
       {{"HY000", 0,
         access("The Microsoft Access database engine cannot open or write to the file "
                "'(unknown)'. It is already opened exclusively by another user, or you need "
                "permission to view and write its data.")}},
       3051},
      {"the lock file", S::connect, {{"HY000", 0, access("Could not lock file.")}}, 3051},
      {"opened exclusively",
       S::connect,
       {{"HY000", 0, access("Could not use '(unknown)'; file already in use.")}},
       3045},
      {"opened exclusively, by whom",
       S::connect,
       {{"HY000", 0,
         access("You attempted to open a database that is already opened exclusively by user "
                "'Admin' on machine 'CASSA1'. Try again when the database is available.")}},
       3045},
      {"a database password, under 42000",
       S::connect,
       {{"42000", 0, access("Not a valid password.")}},
       3031},
      {"invalid authorization", S::connect, {{"28000", 0, ""}}, 3031},
      {"gone between the check and the open",
       S::connect,
       {{"HY000", -1811, access("Could not find file '(unknown)'.")}},
       3024},
      {"not a valid file name",
       S::connect,
       {{"HY000", -1044, access("Not a valid file name.")}},
       3055},
      {"not a valid path",
       S::connect,
       {{"HY000", -1023, access("'x:\\super\\dati.mdb' is not a valid path.")}},
       3044},
      {"disk or network", S::connect, {{"HY000", 0, access("Disk or network error.")}}, 3043},
      {"the driver's own unrecognized format",
       S::connect,
       {{"HY000", 0, access("Unrecognized database format 'c:\\super\\dati.mdb'.")}},
       3343},
      // Each refusal by its native error alone, as any language's driver answers it, and in
      // the Italian driver's words where they are known.
      {"unrecognized format, by its number", S::connect, {{"HY000", -1206, access("?")}}, 3343},
      {"unrecognized format, in Italian",
       S::connect,
       {{"HY000", 0,
         "[Microsoft][Driver ODBC Microsoft Access] Formato di database non "
         "riconosciuto 'c:\\super\\dati.mdb'."}},
       3343},
      {"a password, by its number", S::connect, {{"HY000", -1905, access("?")}}, 3031},
      {"disk or network, by its number", S::connect, {{"HY000", -1022, access("?")}}, 3043},
      {"no file, by its number", S::connect, {{"HY000", -1811, ""}}, 3024},
      {"not a valid path, by its number", S::connect, {{"S1009", -1023, ""}}, 3044},
      {"no table, by its number", S::query, {{"HY000", -1305, ""}}, 3078},
      {"no column, by its number", S::query, {{"HY000", -3010, ""}}, 3061},
      {"anything else",
       S::connect,
       {{"HY000", 0,
         access("General error Unable to open registry key Temporary (volatile) Ace DSN for "
                "process 0x574 Thread 0x21e4 DBC 0xe0ed9f8")}},
       3000},
      {"a warning first",
       S::connect,
       {{"01000", 0, "[Microsoft][ODBC Driver Manager] a warning"},
        {"HY000", -1032, access("Impossibile aprire il file.")}},
       3051},
      {"no table", S::query, {{"42S02", -1305, access("no table")}}, 3078},
      {"no column", S::query, {{"07002", -3010, access("Too few parameters. Expected 1.")}}, 3061},
      {"type mismatch", S::query, {{"22018", -3030, access("Data type mismatch")}}, 3464},
      {"type mismatch, 22005", S::query, {{"22005", 0, ""}}, 3464},
      {"syntax",
       S::query,
       {{"42000", -3100, access("Syntax error (missing operator) in query expression 'x'.")}},
       3075},
      {"syntax, ODBC 2", S::query, {{"37000", -3100, ""}}, 3075},
      {"syntax, in Italian",
       S::query,
       {{"42000", 0, access("Errore di sintassi (operatore mancante).")}},
       3075},
      {"42000 that is an access violation",
       S::query,
       {{"42000", -1809, access("Cannot update. Database or object is read-only.")}},
       3000},
      {"a query's state outside the query", S::other, {{"42S02", 0, access("no table")}}, 3000},
  };
}

DriverContext context(DriverStep step, OdbcDialect dialect = OdbcDialect::access) {
  DriverContext c;
  c.step = step;
  c.dialect = dialect;
  c.file = kFile;
  c.table = "pv";
  c.sql = "select * from pv where x = 1";
  c.doing = "running the query";
  return c;
}

TEST(DriverFailures, MapsTheDriversAnswers) {
  for (const Case& c : cases()) {
    Failure f = driver_failure(c.records, context(c.step));
    EXPECT_EQ(f.number(), c.number) << c.what;
    EXPECT_FALSE(f.text().empty()) << c.what;
  }
}

TEST(DriverFailures, NamesTheFileAndKeepsTheDriversWords) {
  const std::string said = access("Impossibile aprire il file '(sconosciuto)'.");
  Failure f = driver_failure({{"HY000", -1032, said}}, context(DriverStep::connect));
  EXPECT_NE(f.text().find("'" + kFile + "'"), std::string::npos) << f.text();
  EXPECT_NE(f.text().find(said), std::string::npos) << f.text();

  const std::string other = access("General error Unable to open registry key");
  EXPECT_EQ(driver_failure({{"HY000", 0, other}}, context(DriverStep::connect)).text(), other);
  EXPECT_EQ(driver_failure({{"42S02", 0, ""}}, context(DriverStep::query)).text(),
            "Cannot find the input table or query 'pv'. Make sure it exists and that its name is "
            "spelled correctly.");
  EXPECT_EQ(driver_failure({{"HY000", 0, ""}}, context(DriverStep::query)).text(),
            "The database driver failed running the query (SQLSTATE HY000).");
}

TEST(DriverFailures, TheMdbtoolsDriverRefusesOnlyWhatItCannotRead) {
  Failure f = driver_failure({{"08001", 0, "Could not open file"}},
                             context(DriverStep::connect, OdbcDialect::mdbtools));
  EXPECT_EQ(f.number(), 3343);
  EXPECT_EQ(f.text(), "Unrecognized database format '" + kFile + "'. (Could not open file)");
}

TEST(DriverFailures, TellsADriverThatCannotBeLoaded) {
  EXPECT_TRUE(driver_not_loaded(
      {{"IM002", 0, "[Microsoft][ODBC Driver Manager] Data source name not found"}}));
  EXPECT_TRUE(driver_not_loaded({{"IM003", 160, "Specified driver could not be loaded"}}));
  EXPECT_TRUE(driver_not_loaded(
      {{"01000", 0, "[unixODBC][Driver Manager]Can't open lib 'x' : file not found"}}));
  EXPECT_FALSE(driver_not_loaded({{"01000", 0, "a warning of the driver"}}));
  EXPECT_FALSE(driver_not_loaded({{"HY000", -1032, access("cannot open the file")}}));
  EXPECT_FALSE(driver_not_loaded({}));
}

}  // namespace
}  // namespace qano
