// The ODBC engine on real Access 2000 files written by the project's Jet 4 writer, through
// unixODBC and the MDBTools driver.
#include "platform/odbc/odbc_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "tests/support/sample_databases.h"
#include "tools/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::ColumnType;

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

const JetValue* column(const JetResult& r, const std::string& name) {
  auto f = std::find_if(r.fields.begin(), r.fields.end(),
                        [&](const JetField& x) { return x.name == name; });
  return f == r.fields.end() ? nullptr : &f->value;
}

TEST_F(OdbcEngineTest, GivesEveryTypeOfTheFirstMatchingRow) {
  JetResult r = run("select * from tipi where id = 1 ");
  ASSERT_FALSE(r.eof);
  std::vector<JetField> expected = {
      {"id", JetValue::integer(JetType::long_integer, 1)},
      {"sì", JetValue::boolean(true)},
      {"byte", JetValue::integer(JetType::byte, 255)},
      {"int", JetValue::integer(JetType::integer, -32768)},
      {"cur", JetValue::currency(-123456)},
      {"sng", JetValue::real(JetType::single, 3.5)},
      {"dbl", JetValue::real(JetType::double_precision, 0.1)},
      {"quando", JetValue::date_time(jet4::DateTime::parse("2026-12-07 12:21:27").to_serial())},
      {"testo", JetValue::text("Società € è")},
      {"nota", JetValue::text("una nota lunga " + std::string(300, 'x'), JetType::memo)},
  };
  EXPECT_EQ(r.fields, expected);
}

TEST_F(OdbcEngineTest, TellsNullFromZero) {
  JetResult nulls = run("select * from tipi where id = 2 ");
  ASSERT_FALSE(nulls.eof);
  EXPECT_EQ(nulls.fields[1].value, JetValue::boolean(false));  // a Boolean is never Null
  for (std::size_t i = 2; i < nulls.fields.size(); ++i) {
    EXPECT_TRUE(nulls.fields[i].value.is_null()) << nulls.fields[i].name;
  }
  EXPECT_EQ(nulls.fields[4].value, JetValue::null(JetType::currency));
  EXPECT_EQ(nulls.fields[7].value, JetValue::null(JetType::date_time));
  JetResult zeros = run("select * from tipi where id = 3 ");
  ASSERT_FALSE(zeros.eof);
  EXPECT_EQ(zeros.fields[2].value, JetValue::integer(JetType::byte, 0));
  EXPECT_EQ(zeros.fields[4].value, JetValue::currency(0));
  EXPECT_EQ(zeros.fields[6].value, JetValue::real(JetType::double_precision, 0));
  // The MDBTools driver gives a zero-length Text as Null; the Access driver tells them apart.
  EXPECT_EQ(zeros.fields[8].value, JetValue::null(JetType::text));
  EXPECT_EQ(zeros.fields[9].value, JetValue::text("", JetType::memo));
}

TEST_F(OdbcEngineTest, RunsTheProgramsQueriesAsSent) {
  struct Case {
    const char* sql;
    const char* column;
    JetValue expected;
  };
  const Case cases[] = {
      {"select * from società where codute = 1 ", "database",
       JetValue::text("C:\\super\\dati.mdb")},
      {"SELECT * FROM SOCIETÀ WHERE CODUTE = 1", "database", JetValue::text("C:\\super\\dati.mdb")},
      {"select * from pv where proprio = '1' ", "codice",
       JetValue::integer(JetType::long_integer, 12)},
      {"select * from pv where proprio = 'a' ", "codice",
       JetValue::integer(JetType::long_integer, 11)},
      {"select * from [pv] where [PROPRIO] = \"0\"", "codice",
       JetValue::integer(JetType::long_integer, 10)},
      {"select * from tipi where id = 1.0 ", "testo", JetValue::text("Società € è")},
      {"select * from tipi where int = -32768 ", "id", JetValue::integer(JetType::long_integer, 1)},
      {"select * from tipi where byte = 255 ", "id", JetValue::integer(JetType::long_integer, 1)},
      {"select * from tipi where cur = 0 ", "id", JetValue::integer(JetType::long_integer, 3)},
  };
  for (const Case& c : cases) {
    JetResult r = run(c.sql);
    ASSERT_FALSE(r.eof) << c.sql;
    const JetValue* v = column(r, c.column);
    ASSERT_NE(v, nullptr) << c.sql;
    EXPECT_EQ(*v, c.expected) << c.sql;
  }
}

TEST_F(OdbcEngineTest, NoMatchIsEndOfFileWithTheColumnsNamed) {
  JetResult r = run("select * from società where codute = 9 ");
  EXPECT_TRUE(r.eof);
  ASSERT_EQ(r.fields.size(), 2u);
  EXPECT_EQ(r.fields[0].name, "codute");
  EXPECT_EQ(r.fields[1].value, JetValue::null(JetType::text));
  EXPECT_TRUE(run("select * from pv where proprio = '1 ' ").eof);
  EXPECT_TRUE(run("select * from tipi where sì = 1 ").eof);  // True is -1
}

TEST_F(OdbcEngineTest, BadQueriesAndNamesFailWithJetNumbers) {
  struct Case {
    const char* sql;
    int number;
    const char* text;
  };
  const Case cases[] = {
      {"select * from nessuna where codute = 1 ", 3078,
       "Cannot find the input table or query 'nessuna'. Make sure it exists and that its name is "
       "spelled correctly."},
      {"select * from società where nessuna = 1 ", 3061, "Too few parameters. Expected 1."},
      {"select * from società codute = 1 ", 3075,
       "Syntax error in query expression 'select * from società codute = 1 '."},
      {"select * from pv where proprio = 1 ", 3464, "Data type mismatch in criteria expression."},
      {"select * from società where codute = '1' ", 3464,
       "Data type mismatch in criteria expression."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_of(c.sql), c.number) << c.sql;
    EXPECT_EQ(last_text, c.text) << c.sql;
  }
}

TEST_F(OdbcEngineTest, MissingAndForeignFiles) {
  fs::path dir = fs::temp_directory_path() / ("qano-odbc-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string sql = "select * from pv where proprio = '1' ";
  EXPECT_EQ(failure_of(sql, (dir / "missing.mdb").string()), 3024);
  EXPECT_EQ(last_text, "Could not find file '" + (dir / "missing.mdb").string() + "'.");
  EXPECT_EQ(failure_of(sql, dir.string()), 3343);
  EXPECT_EQ(last_text, "Unrecognized database format '" + dir.string() + "'. (not a file)");

  std::ofstream(dir / "text.mdb") << "this is not a database\n";
  EXPECT_EQ(failure_of(sql, (dir / "text.mdb").string()), 3343);
  EXPECT_NE(last_text.find("text.mdb"), std::string::npos);
  std::ofstream(dir / "pages.mdb") << std::string(4096, '\0');
  EXPECT_EQ(failure_of(sql, (dir / "pages.mdb").string()), 3343);
  EXPECT_EQ(last_text, "Unrecognized database format '" + (dir / "pages.mdb").string() + "'.");
  std::ofstream(dir / "empty.mdb");
  EXPECT_EQ(failure_of(sql, (dir / "empty.mdb").string()), 3343);
  fs::remove_all(dir);
}

TEST_F(OdbcEngineTest, ReadsAMemoLongerThanOnePart) {
  jet4::TemporaryDatabase db(sample::edges_database());
  JetResult r = run("select * from note where id = 1", db.path().string());
  ASSERT_FALSE(r.eof);
  EXPECT_EQ(r.fields[1].value, JetValue::text(sample::long_memo(12000), JetType::memo));
}

// The MDBTools driver cannot give a Date/Time before 30/12/1899 or after about the year 4600 (it
// leaves its timestamp unfilled). A row that holds one and is not the answer must not stop the
// query; the answer row itself is not checked here, since what the driver leaves there is
// whatever its memory held.
TEST_F(OdbcEngineTest, ValuesOfRowsThatDoNotMatchAreNotRead) {
  jet4::Database db;
  jet4::Table& t = db.add_table("date");
  t.add_column("n", ColumnType::LongInteger).add_column("quando", ColumnType::DateTime);
  t.add_row({std::int64_t{1}, jet4::DateTime::parse("1899-12-29 06:00:00")});
  t.add_row({std::int64_t{2}, jet4::DateTime::parse("9999-12-31 23:59:59")});
  t.add_row({std::int64_t{3}, jet4::DateTime::parse("1899-12-30 18:00:00")});
  jet4::TemporaryDatabase file(db);
  JetResult r = run("select * from date where n = 3", file.path().string());
  ASSERT_FALSE(r.eof);
  EXPECT_EQ(r.fields[1].value, JetValue::date_time(0.75));
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

TEST(OdbcEngineOnLargeTables, FindsTheFirstAndTheLastRowOfManyPages) {
  jet4::Database db;
  jet4::Table& t = db.add_table("utenti");
  t.add_column("codutente", ColumnType::LongInteger).add_column("nome", ColumnType::Text, 40);
  for (std::int64_t i = 1; i <= 100000; ++i) t.add_row({i, "utente " + std::to_string(i)});
  jet4::TemporaryDatabase file(db);
  auto engine = make_odbc_engine();
  for (std::int64_t wanted : {std::int64_t{1}, std::int64_t{50000}, std::int64_t{100000}}) {
    JetResult r =
        engine->first_row(file.path().string(),
                          "select * from utenti where codutente = " + std::to_string(wanted) + " ");
    ASSERT_FALSE(r.eof) << wanted;
    EXPECT_EQ(r.fields[1].value, JetValue::text("utente " + std::to_string(wanted)));
  }
  EXPECT_TRUE(
      engine->first_row(file.path().string(), "select * from utenti where codutente = 0 ").eof);
}

}  // namespace
}  // namespace qano
