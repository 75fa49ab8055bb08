// The Jet engine on real Access 2000 files written by the project's Jet 4 writer.
#include "platform/mdbtools/mdbtools_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/failure.h"
#include "tests/support/sample_databases.h"
#include "tools/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::ColumnType;

using sample::types_database;

class EngineTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { file_ = new jet4::TemporaryDatabase(types_database()); }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
  }
  EngineTest()
      : engine(make_mdbtools_engine(
            MdbtoolsOptions{GetParam(), std::chrono::seconds(30), std::chrono::seconds(2)})) {}

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
  std::unique_ptr<JetEngine> engine;
  std::string last_text;
};

jet4::TemporaryDatabase* EngineTest::file_ = nullptr;

TEST_P(EngineTest, GivesEveryTypeOfTheFirstMatchingRow) {
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

TEST_P(EngineTest, TellsNullFromZeroAndFromEmptyText) {
  JetResult nulls = run("select * from tipi where id = 2 ");
  ASSERT_FALSE(nulls.eof);
  EXPECT_EQ(nulls.fields[1].value, JetValue::boolean(false));  // a Boolean is never Null
  for (std::size_t i = 2; i < nulls.fields.size(); ++i) {
    EXPECT_TRUE(nulls.fields[i].value.is_null()) << nulls.fields[i].name;
  }
  JetResult zeros = run("select * from tipi where id = 3 ");
  ASSERT_FALSE(zeros.eof);
  EXPECT_EQ(zeros.fields[2].value, JetValue::integer(JetType::byte, 0));
  EXPECT_EQ(zeros.fields[4].value, JetValue::currency(0));
  EXPECT_EQ(zeros.fields[8].value, JetValue::text(""));
  EXPECT_EQ(zeros.fields[9].value, JetValue::text("", JetType::memo));
}

TEST_P(EngineTest, RunsTheProgramsQueriesAsSent) {
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
  };
  for (const Case& c : cases) {
    JetResult r = run(c.sql);
    ASSERT_FALSE(r.eof) << c.sql;
    auto f = std::find_if(r.fields.begin(), r.fields.end(),
                          [&](const JetField& x) { return x.name == c.column; });
    ASSERT_NE(f, r.fields.end()) << c.sql;
    EXPECT_EQ(f->value, c.expected) << c.sql;
  }
}

TEST_P(EngineTest, NoMatchIsEndOfFileWithTheColumnsNamed) {
  JetResult r = run("select * from società where codute = 9 ");
  EXPECT_TRUE(r.eof);
  ASSERT_EQ(r.fields.size(), 2u);
  EXPECT_EQ(r.fields[0].name, "codute");
  EXPECT_TRUE(r.fields[1].value.is_null());
  EXPECT_TRUE(run("select * from pv where proprio = '1 ' ").eof);
}

TEST_P(EngineTest, BadQueriesAndNamesFailWithJetNumbers) {
  struct Case {
    const char* sql;
    int number;
  };
  const Case cases[] = {
      {"select * from nessuna where codute = 1 ", 3078},
      {"select * from società where nessuna = 1 ", 3061},
      {"select * from società codute = 1 ", 3075},
      {"select * from pv where proprio = 1 ", 3464},
      {"select * from società where codute = '1' ", 3464},
  };
  for (const Case& c : cases) EXPECT_EQ(failure_of(c.sql), c.number) << c.sql;
}

TEST_P(EngineTest, MissingUnreadableAndForeignFiles) {
  fs::path dir = fs::temp_directory_path() / ("qano-engine-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string sql = "select * from pv where proprio = '1' ";
  EXPECT_EQ(failure_of(sql, (dir / "missing.mdb").string()), 3024);
  EXPECT_EQ(last_text, "Could not find file '" + (dir / "missing.mdb").string() + "'.");
  EXPECT_EQ(failure_of(sql, dir.string()), 3343);

  std::ofstream(dir / "text.mdb") << "this is not a database\n";
  EXPECT_EQ(failure_of(sql, (dir / "text.mdb").string()), 3343);
  EXPECT_NE(last_text.find("text.mdb"), std::string::npos);
  std::ofstream(dir / "empty.mdb");
  EXPECT_EQ(failure_of(sql, (dir / "empty.mdb").string()), 3343);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(InChildAndInProcess, EngineTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "isolated" : "in_process"; });

// Damaged copies of a real database: every outcome is a row, no row or a failure with a number,
// never a crash or a hang of the caller.
TEST(EngineOnDamagedFiles, TruncatedAndScribbledCopiesFailCleanly) {
  jet4::TemporaryDatabase good(types_database());
  std::ifstream in(good.path(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size() % 4096, 0u);
  // A damaged file may send the reader round in circles: two seconds are plenty for this one.
  auto engine =
      make_mdbtools_engine(MdbtoolsOptions{true, std::chrono::seconds(2), std::chrono::seconds(2)});
  fs::path damaged = good.path().string() + ".damaged";
  const std::string sql = "select * from società where codute = 1 ";

  auto outcome = [&](const std::string& content) {
    std::ofstream(damaged, std::ios::binary | std::ios::trunc) << content;
    try {
      engine->first_row(damaged.string(), sql);
      return 0;
    } catch (const Failure& f) {
      return f.number();
    }
  };
  // A file cut short is damaged: never a missing table, never a table without rows.
  for (std::size_t pages = 0; pages < bytes.size() / 4096; ++pages) {
    int number = outcome(bytes.substr(0, pages * 4096));
    EXPECT_EQ(number, 3343) << "truncated to " << pages << " pages";
  }
  EXPECT_EQ(outcome(bytes.substr(0, bytes.size() - 100)), 3343);  // a torn last page
  EXPECT_EQ(outcome(bytes), 0);

  std::mt19937 random(20261208);
  for (int round = 0; round < 40; ++round) {
    std::string scribbled = bytes;
    std::size_t page = 2 + static_cast<std::size_t>(round % 2);  // the catalog and the page after
    for (int i = 0; i < 64; ++i) {
      scribbled[page * 4096 + random() % 4096] = static_cast<char>(random());
    }
    int number = outcome(scribbled);
    EXPECT_TRUE(number == 0 || number >= 3000) << "round " << round << ": " << number;
  }
  fs::remove(damaged);
}

TEST(EngineTimeLimit, AReaderThatDoesNotEndIsGivenUp) {
  jet4::TemporaryDatabase db(types_database());
  auto engine = make_mdbtools_engine(
      MdbtoolsOptions{true, std::chrono::milliseconds(0), std::chrono::seconds(2)});
  try {
    engine->first_row(db.path().string(), "select * from pv where proprio = '1' ");
    FAIL() << "a reader without time finished";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.text().find("did not end"), std::string::npos) << f.text();
  }
}

// One reader answers a run of queries: each one reads its file as it is at that moment, and a
// reader that ends between two queries for being idle is replaced without the caller noticing.
TEST(EngineReader, ARunOfQueriesSeesEachFileAsItIsNow) {
  jet4::TemporaryDatabase other(types_database());
  for (int idle_ms : {2000, 0, 1}) {
    auto engine = make_mdbtools_engine(
        MdbtoolsOptions{true, std::chrono::seconds(30), std::chrono::milliseconds(idle_ms)});
    for (int round = 1; round <= 12; ++round) {
      jet4::Database db = types_database();
      jet4::Table& pv = db.tables[2];
      pv.rows[2][1] = std::int64_t{100 + round};
      jet4::write_database(db, other.path());
      JetResult r =
          engine->first_row(other.path().string(), "select * from pv where proprio = '1' ");
      ASSERT_FALSE(r.eof) << idle_ms << " ms, round " << round;
      EXPECT_EQ(r.fields[1].value.as_integer(), 100 + round) << idle_ms << " ms, round " << round;
      // A failure in between ends that reader; the next query gets a fresh one.
      if (round % 4 == 0) {
        EXPECT_THROW(engine->first_row(other.path().string(), "select * from nessuna where a = 1 "),
                     Failure);
      }
    }
  }
}

TEST(EngineOnLargeTables, FindsTheFirstAndTheLastRowOfManyPages) {
  jet4::Database db;
  jet4::Table& t = db.add_table("utenti");
  t.add_column("codutente", ColumnType::LongInteger).add_column("nome", ColumnType::Text, 40);
  for (std::int64_t i = 1; i <= 100000; ++i) t.add_row({i, "utente " + std::to_string(i)});
  jet4::TemporaryDatabase file(db);
  auto engine = make_mdbtools_engine();
  for (std::int64_t wanted : {std::int64_t{1}, std::int64_t{50000}, std::int64_t{100000}}) {
    JetResult r =
        engine->first_row(file.path().string(),
                          "select * from utenti where codutente = " + std::to_string(wanted) + " ");
    ASSERT_FALSE(r.eof) << wanted;
    EXPECT_EQ(r.fields[1].value, JetValue::text("utente " + std::to_string(wanted)));
  }
  EXPECT_TRUE(
      engine->first_row(file.path().string(), "select * from utenti where codutente = 0 ").eof);

  // The same file cut in half: its long usage map names pages the file no longer has.
  fs::path half = file.path().string() + ".half";
  fs::copy_file(file.path(), half);
  fs::resize_file(half, fs::file_size(half) / 2 / 4096 * 4096);
  try {
    engine->first_row(half.string(), "select * from utenti where codutente = 1 ");
    ADD_FAILURE() << "a table cut in half was read";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.text().find("rows of 'utenti'"), std::string::npos) << f.text();
  }
  fs::remove(half);
}

}  // namespace
}  // namespace qano

namespace qano {
namespace {

TEST(EngineOnLongTexts, GivesAMemoWhole) {
  std::string ascii(100000, 'x');
  std::string accented;
  for (int i = 0; i < 30000; ++i) accented += "è€";  // 3 and 2 bytes of UTF-8 each
  jet4::Database db;
  jet4::Table& t = db.add_table("note");
  t.add_column("id", ColumnType::LongInteger).add_column("nota", ColumnType::Memo);
  t.add_row({std::int64_t{1}, ascii});
  t.add_row({std::int64_t{2}, accented});
  jet4::TemporaryDatabase file(db);
  auto engine = make_mdbtools_engine();
  for (auto [id, text] : {std::pair{1, &ascii}, std::pair{2, &accented}}) {
    JetResult r = engine->first_row(file.path().string(),
                                    "select * from note where id = " + std::to_string(id) + " ");
    ASSERT_FALSE(r.eof);
    EXPECT_EQ(r.fields[1].value.as_text().size(), text->size()) << id;
    EXPECT_EQ(r.fields[1].value, JetValue::text(*text, JetType::memo)) << id;
  }
}

}  // namespace
}  // namespace qano
