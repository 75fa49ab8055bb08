// What every Jet engine promises, checked on each of them with the same cases: the mdbtools
// engine in its reader process and in the program's own, and the ODBC engine (here unixODBC with
// the MDBTools driver) in the program and behind the reader process. The files are real Access
// 2000 files written by the project's Jet 4 writer. What the MDBTools driver cannot do (an empty
// Text is Null through it) is the one difference a case allows, and only for that driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/failure.h"
#include "platform/jet/isolated_engine.h"
#include "platform/jet/jet_contract.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/odbc/odbc_engine.h"
#include "tests/support/sample_databases.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::ColumnType;

struct EngineKind {
  const char* name;
  std::function<std::unique_ptr<JetEngine>()> make;
  // The MDBTools driver gives a zero-length Text as Null (a Memo keeps its header in the row, so
  // an empty Memo stays empty).
  bool empty_text_is_null = false;
};

const EngineKind kEngines[] = {
    {"mdbtools_isolated",
     [] {
       return isolate_engine([] { return make_mdbtools_engine(); },
                             IsolationOptions{std::chrono::seconds(30), std::chrono::seconds(2)});
     }},
    {"mdbtools_in_process", [] { return make_mdbtools_engine(); }},
    {"odbc", [] { return make_odbc_engine(); }, true},
    {"odbc_isolated",
     [] {
       return isolate_engine([] { return make_odbc_engine(); },
                             IsolationOptions{std::chrono::seconds(30), std::chrono::seconds(2)});
     },
     true},
};

void PrintTo(const EngineKind& kind, std::ostream* out) {
  *out << kind.name;
}

struct Outcome {
  std::optional<JetResult> result;
  std::optional<Failure> failure;
};

Outcome run(JetEngine& engine, const std::string& file, const std::string& sql) {
  try {
    return Outcome{jet_contract::run_query(engine, file, sql), std::nullopt};
  } catch (const Failure& f) {
    return Outcome{std::nullopt, f};
  }
}

std::string shown(const Outcome& o) {
  if (o.failure) return "failure " + std::to_string(o.failure->number()) + " " + o.failure->text();
  std::string s = o.result->eof ? "EOF" : "row";
  for (const JetField& f : o.result->fields) {
    s += "\n  " + f.name + " (" + jet_type_name(f.value.type()) + "): ";
    const JetValue& v = f.value;
    if (v.is_null()) {
      s += "Null";
    } else if (v.is_text()) {
      s += "'" + v.as_text().substr(0, 80) + "'";
    } else {
      char number[64];
      std::snprintf(number, sizeof number, "%.17g", v.as_number());
      s += number;
    }
  }
  return s;
}

bool same(const Outcome& a, const Outcome& b) {
  if (a.failure || b.failure) {
    return a.failure && b.failure && a.failure->number() == b.failure->number() &&
           a.failure->text() == b.failure->text();
  }
  return a.result->eof == b.result->eof && a.result->fields == b.result->fields;
}

const JetValue* column(const JetResult& r, const std::string& name) {
  auto f = std::find_if(r.fields.begin(), r.fields.end(),
                        [&](const JetField& x) { return x.name == name; });
  return f == r.fields.end() ? nullptr : &f->value;
}

class EngineContract : public ::testing::TestWithParam<EngineKind> {
 protected:
  static void SetUpTestSuite() { file_ = new jet4::TemporaryDatabase(sample::types_database()); }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
  }

  static std::string file() { return file_->path().string(); }
  JetResult run(const std::string& sql, const std::string& path = file()) {
    return jet_contract::run_query(*engine, path, sql);
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
  // An empty Text as this engine gives it.
  JetValue empty_text() const {
    return GetParam().empty_text_is_null ? JetValue::null(JetType::text) : JetValue::text("");
  }
  Outcome as_this_engine_gives_it(Outcome o) const {
    if (!o.result || !GetParam().empty_text_is_null) return o;
    for (JetField& f : o.result->fields) {
      if (f.value.type() == JetType::text && f.value.is_text() && f.value.as_text().empty()) {
        f.value = JetValue::null(f.value.type());
      }
    }
    return o;
  }

  // Runs every query on the file with this engine and with the reference (the mdbtools engine, as
  // the program runs it); returns the reference's outcomes.
  std::vector<Outcome> expect_agreement(const std::string& path,
                                        const std::vector<std::string>& queries) {
    std::vector<Outcome> outcomes;
    for (const std::string& sql : queries) {
      Outcome expected = qano::run(*reference, path, sql);
      Outcome got = qano::run(*engine, path, sql);
      EXPECT_TRUE(same(as_this_engine_gives_it(expected), got))
          << "query: " << sql << "\nmdbtools engine: " << shown(expected) << "\n"
          << GetParam().name << ": " << shown(got);
      outcomes.push_back(std::move(expected));
    }
    return outcomes;
  }

  static jet4::TemporaryDatabase* file_;
  std::unique_ptr<JetEngine> engine = GetParam().make();
  std::unique_ptr<JetEngine> reference = make_mdbtools_engine();
  std::string last_text;
};

jet4::TemporaryDatabase* EngineContract::file_ = nullptr;

// How many outcomes of each kind, so that a table of cases cannot pass by failing everywhere.
void expect_counts(const std::vector<Outcome>& outcomes, int rows, int eofs, int failures) {
  int r = 0, e = 0, f = 0;
  for (const Outcome& o : outcomes) {
    if (o.failure) {
      ++f;
    } else if (o.result->eof) {
      ++e;
    } else {
      ++r;
    }
  }
  EXPECT_EQ(r, rows);
  EXPECT_EQ(e, eofs);
  EXPECT_EQ(f, failures);
}

TEST_P(EngineContract, GivesEveryTypeOfTheFirstMatchingRow) {
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

TEST_P(EngineContract, TellsNullFromZeroAndFromEmptyText) {
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
  EXPECT_EQ(zeros.fields[8].value, empty_text());
  EXPECT_EQ(zeros.fields[9].value, JetValue::text("", JetType::memo));
  // So a criterion on '' finds the row only where the empty Text is told from Null.
  EXPECT_EQ(run("select * from tipi where testo = '' ").eof, GetParam().empty_text_is_null);
}

TEST_P(EngineContract, RunsTheProgramsQueriesAsSent) {
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

TEST_P(EngineContract, NoMatchIsEndOfFileWithTheColumnsNamed) {
  JetResult r = run("select * from società where codute = 9 ");
  EXPECT_TRUE(r.eof);
  ASSERT_EQ(r.fields.size(), 2u);
  EXPECT_EQ(r.fields[0].name, "codute");
  EXPECT_EQ(r.fields[1].value, JetValue::null(JetType::text));
  EXPECT_TRUE(run("select * from pv where proprio = '1 ' ").eof);
  EXPECT_TRUE(run("select * from tipi where sì = 1 ").eof);  // True is -1
}

TEST_P(EngineContract, BadQueriesAndNamesFailWithJetNumbersAndTexts) {
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

TEST_P(EngineContract, MissingAndForeignFiles) {
  fs::path dir = fs::temp_directory_path() /
                 ("qano-contract-" + std::to_string(::getpid()) + "-" + GetParam().name);
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
  // The reason in brackets may differ (tests/odbc has the ODBC engine's).
  EXPECT_EQ(
      last_text.rfind("Unrecognized database format '" + (dir / "pages.mdb").string() + "'.", 0),
      0u)
      << last_text;
  std::ofstream(dir / "empty.mdb");
  EXPECT_EQ(failure_of(sql, (dir / "empty.mdb").string()), 3343);
  fs::remove_all(dir);
}

// A file that is no database fails as in the reference. The reason in brackets after
// "Unrecognized database format '<file>'." may differ: the mdbtools engine reads the file's pages
// itself, the ODBC engine checks its signature and size before handing it to the driver.
TEST_P(EngineContract, FailsAsTheReferenceOnFilesThatAreMissingOrNoDatabase) {
  fs::path dir = fs::temp_directory_path() /
                 ("qano-agree-" + std::to_string(::getpid()) + "-" + GetParam().name);
  fs::create_directories(dir);
  std::ifstream in(file_->path(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(dir / "text.mdb") << "this is not a database\n";
  std::ofstream(dir / "empty.mdb");
  std::ofstream(dir / "pages.mdb") << std::string(8192, 'x');
  std::ofstream(dir / "torn.mdb", std::ios::binary) << bytes.substr(0, bytes.size() - 100);
  for (const char* name : {"missing.mdb", "text.mdb", "empty.mdb", "pages.mdb", "torn.mdb", ""}) {
    const std::string path = (dir / name).string();
    for (const char* sql : {"select * from pv where proprio = '1' ", "select * from pv"}) {
      Outcome expected = qano::run(*reference, path, sql);
      Outcome got = qano::run(*engine, path, sql);
      ASSERT_TRUE(expected.failure && got.failure) << name << ": " << sql;
      EXPECT_EQ(got.failure->number(), expected.failure->number()) << name << ": " << sql;
      if (expected.failure->number() == failure::kUnrecognizedFormat) {
        const std::string head = "Unrecognized database format '" + path + "'.";
        EXPECT_EQ(expected.failure->text().rfind(head, 0), 0u) << expected.failure->text();
        EXPECT_EQ(got.failure->text().rfind(head, 0), 0u) << got.failure->text();
      } else {
        EXPECT_EQ(got.failure->text(), expected.failure->text());
      }
    }
    Outcome got = qano::run(*engine, path, "select * from pv where proprio = '1' ");
    EXPECT_EQ(got.failure->number(), name == std::string("missing.mdb") ? 3024 : 3343) << name;
  }
  fs::remove_all(dir);
}

// The same queries on the same files give what the mdbtools engine gives, row, types, Nulls and
// failures alike.
TEST_P(EngineContract, AgreesWithTheReference) {
  struct Agreement {
    const char* on;
    jet4::Database (*database)();
    std::vector<std::string> queries;
    int rows, eofs, failures;
  };
  const Agreement cases[] = {
      {"the master database",
       sample::master_database,
       {
           "select * from società where codute = 1 ",
           "select * from inizio where codute = 1 ",
           "SELECT * FROM SOCIETÀ WHERE CODUTE = 1",
           "select * from [società] where [codute] = 2",
           "select * from società where codute = 9 ",
           "select * from inizio where codute = 1.5 ",
           "select * from società where codute = '1' ",
           "select * from società where database = 1 ",
           "select * from società where codice = 1 ",
           "select * from societa where codute = 1 ",
           "select * from società codute = 1 ",
           "select * from società where codute = 1 order by codute",
           "select codute from società where codute = 1 ",
       },
       4,
       2,
       7},
      {"the data database",
       sample::data_database,
       {
           "select * from automa where codice = 1 ",
           "select * from utenti where codutente = 1 ",
           "select * from pv where proprio = '1' ",
           "select * from pv where proprio = '0' ",
           "select * from pv where proprio = '1 ' ",
           "select * from pv where proprio = '' ",
           "select * from utenti where Flag_CF = -1 ",
           "select * from utenti where flag_cf = 0 ",
           "select * from utenti where ARTICO = 'n' ",
           "select * from utenti where fid_rep = 2 ",
           "select * from utenti where nrpos = 9.0 ",
           "select * from utenti where chiusura = 'S' ",
           "select * from pv where proprio = 1 ",
           "select * from automa where aaa = 2026 ",
       },
       9,
       3,
       2},
      {"every type, Nulls, zeros and empty texts",
       sample::types_database,
       {
           "select * from tipi where id = 1 ",
           "select * from tipi where id = 2 ",
           "select * from tipi where id = 3 ",
           "select * from tipi where id = 1.0 ",
           "select * from tipi where int = -32768 ",
           "select * from tipi where int = 0 ",
           "select * from tipi where byte = 255 ",
           "select * from tipi where byte = 7 ",
           "select * from tipi where cur = -12.3456 ",
           "select * from tipi where cur = 0 ",
           "select * from tipi where sng = 3.5 ",
           "select * from tipi where dbl = 0.1 ",
           "select * from tipi where [sì] = -1 ",
           "select * from tipi where sì = 1 ",
           "select * from tipi where testo = 'SOCIETÀ € È' ",
           "select * from tipi where testo = 'second ROW with id 1'",
           "select * from tipi where nota = 'x' ",
           "select * from [pv] where [PROPRIO] = \"a\"",
           "select * from tipi where quando = '2026-12-07' ",
           "select * from tipi where testo = 3 ",
       },
       16,
       2,
       2},
      {"the edges of every type and accented names",
       sample::edges_database,
       {
           "select * from estremi where n = 1",
           "select * from estremi where n = 2",
           "select * from estremi where n = 3",
           "select * from estremi where n = 4",
           "select * from estremi where n = 5",
           "select * from estremi where lng = -2147483648",
           "select * from estremi where lng = 2147483647",
           "select * from estremi where int = -300",
           "select * from estremi where byte = 128",
           "select * from estremi where cur = 0.0001",
           "select * from estremi where cur = -0.5",
           "select * from estremi where sng = -1.5",
           "select * from estremi where dbl = 123456789.125",
           "select * from estremi where sng = 0",
           "select * from estremi where testo = '\"virgolette\" e ''apici'''",
           "select * from estremi where testo = '日本語 ελληνικά'",
           "select * from estremi where testo = ' SPAZI '",
           "select * from [Ñandú perché] where [àèì] = 2",
           "select * from [ñandú PERCHÉ] where città = 'forlì'",
           "select * from [ÑANDÚ PERCHÉ] where CITTÀ = 'épernay'",
           "select * from note where id = 1",
           "select * from note where id = 2",
           "select * from estremi where dbl = 1e308",
           "select * from estremi where lng = 99999999999999999999999999",
           "select * from Ñandú perché where città = 'forlì'",
       },
       22,
       1,
       2},
  };
  for (const Agreement& c : cases) {
    SCOPED_TRACE(c.on);
    jet4::TemporaryDatabase db(c.database());
    expect_counts(expect_agreement(db.path().string(), c.queries), c.rows, c.eofs, c.failures);
  }
}

TEST_P(EngineContract, ReadsAMemoLongerThanOnePart) {
  jet4::TemporaryDatabase db(sample::edges_database());
  JetResult r = run("select * from note where id = 1", db.path().string());
  ASSERT_FALSE(r.eof);
  EXPECT_EQ(r.fields[1].value, JetValue::text(sample::long_memo(12000), JetType::memo));
}

// The MDBTools driver cannot give a Date/Time before 30/12/1899 or after about the year 4600 (it
// leaves its timestamp unfilled). A row that holds one and is not the answer must not stop the
// query.
TEST_P(EngineContract, ValuesOfRowsThatDoNotMatchAreNotRead) {
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

TEST_P(EngineContract, FindsTheFirstAndTheLastRowOfManyPages) {
  jet4::TemporaryDatabase file(sample::users_database(100000));
  for (std::int64_t wanted : {std::int64_t{1}, std::int64_t{50000}, std::int64_t{100000}}) {
    JetResult r = run("select * from utenti where codutente = " + std::to_string(wanted) + " ",
                      file.path().string());
    ASSERT_FALSE(r.eof) << wanted;
    EXPECT_EQ(r.fields[1].value, JetValue::text("utente " + std::to_string(wanted)));
  }
  EXPECT_TRUE(run("select * from utenti where codutente = 0 ", file.path().string()).eof);
}

INSTANTIATE_TEST_SUITE_P(EveryEngine, EngineContract, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qano
