// Both Jet engines on the same files and queries: the ODBC engine (here through the MDBTools
// driver) must hand back what the mdbtools engine does, row, types, Nulls and failures alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/failure.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/odbc/odbc_engine.h"
#include "tests/support/sample_databases.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using sample::data_database;
using sample::edges_database;
using sample::master_database;
using sample::types_database;

struct Outcome {
  std::optional<JetResult> result;
  std::optional<Failure> failure;
};

Outcome run(JetEngine& engine, const std::string& file, const std::string& sql) {
  try {
    return Outcome{engine.first_row(file, sql), std::nullopt};
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

// The MDBTools driver takes a Text value that occupies no bytes in its row for Null: it reports a
// zero-length Text as SQL_NULL_DATA (a Memo keeps its header in the row, so an empty Memo stays
// empty). Through it, and only there, an empty Text reads as Null; the tests that compare both
// engines allow exactly that and nothing else.
Outcome as_through_mdbtools_driver(Outcome o) {
  if (!o.result) return o;
  for (JetField& f : o.result->fields) {
    if (f.value.type() == JetType::text && f.value.is_text() && f.value.as_text().empty()) {
      f.value = JetValue::null(f.value.type());
    }
  }
  return o;
}

bool same(const Outcome& a, const Outcome& b) {
  if (a.failure || b.failure) {
    return a.failure && b.failure && a.failure->number() == b.failure->number() &&
           a.failure->text() == b.failure->text();
  }
  return a.result->eof == b.result->eof && a.result->fields == b.result->fields;
}

class EnginesAgree : public ::testing::Test {
 protected:
  EnginesAgree() : mdbtools(make_mdbtools_engine()), odbc(make_odbc_engine()) {}

  // Runs every query on the file with both engines; returns the mdbtools engine's outcomes.
  std::vector<Outcome> expect_agreement(const std::string& file,
                                        const std::vector<std::string>& queries) {
    std::vector<Outcome> outcomes;
    for (const std::string& sql : queries) {
      Outcome reference = run(*mdbtools, file, sql);
      Outcome through_odbc = run(*odbc, file, sql);
      EXPECT_TRUE(same(as_through_mdbtools_driver(reference), through_odbc))
          << "query: " << sql << "\nmdbtools engine: " << shown(reference)
          << "\nODBC engine:     " << shown(through_odbc);
      outcomes.push_back(std::move(reference));
    }
    return outcomes;
  }

  std::unique_ptr<JetEngine> mdbtools;
  std::unique_ptr<JetEngine> odbc;
};

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

TEST_F(EnginesAgree, OnTheMasterDatabase) {
  jet4::TemporaryDatabase db(master_database());
  auto outcomes = expect_agreement(db.path().string(),
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
                                   });
  expect_counts(outcomes, 4, 2, 7);
}

TEST_F(EnginesAgree, OnTheDataDatabase) {
  jet4::TemporaryDatabase db(data_database());
  auto outcomes =
      expect_agreement(db.path().string(), {
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
                                           });
  expect_counts(outcomes, 9, 3, 2);
}

TEST_F(EnginesAgree, OnEveryTypeNullsZerosAndEmptyTexts) {
  jet4::TemporaryDatabase db(types_database());
  auto outcomes = expect_agreement(db.path().string(),
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
                                   });
  expect_counts(outcomes, 16, 2, 2);
}

TEST_F(EnginesAgree, OnTheEdgesOfEveryTypeAndOnAccentedNames) {
  jet4::TemporaryDatabase db(edges_database());
  auto outcomes = expect_agreement(
      db.path().string(), {
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
                          });
  expect_counts(outcomes, 22, 1, 2);
}

// A file that is no database fails alike in both. The reason in brackets after "Unrecognized
// database format '<file>'." may differ: the mdbtools engine reads the file's pages itself, the
// ODBC engine checks its signature and size before handing it to the driver.
TEST_F(EnginesAgree, OnFilesThatAreMissingOrNoDatabase) {
  fs::path dir = fs::temp_directory_path() / ("qano-agree-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  jet4::TemporaryDatabase good(types_database());
  std::ifstream in(good.path(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(dir / "text.mdb") << "this is not a database\n";
  std::ofstream(dir / "empty.mdb");
  std::ofstream(dir / "pages.mdb") << std::string(8192, 'x');
  std::ofstream(dir / "torn.mdb", std::ios::binary) << bytes.substr(0, bytes.size() - 100);
  for (const char* name : {"missing.mdb", "text.mdb", "empty.mdb", "pages.mdb", "torn.mdb", ""}) {
    const std::string file = (dir / name).string();
    for (const char* sql : {"select * from pv where proprio = '1' ", "select * from pv"}) {
      Outcome reference = run(*mdbtools, file, sql);
      Outcome through_odbc = run(*odbc, file, sql);
      ASSERT_TRUE(reference.failure && through_odbc.failure) << name << ": " << sql;
      EXPECT_EQ(through_odbc.failure->number(), reference.failure->number()) << name << ": " << sql;
      if (reference.failure->number() == failure::kUnrecognizedFormat) {
        const std::string head = "Unrecognized database format '" + file + "'.";
        EXPECT_EQ(reference.failure->text().rfind(head, 0), 0u) << reference.failure->text();
        EXPECT_EQ(through_odbc.failure->text().rfind(head, 0), 0u) << through_odbc.failure->text();
      } else {
        EXPECT_EQ(through_odbc.failure->text(), reference.failure->text());
      }
    }
    Outcome reference = run(*mdbtools, file, "select * from pv where proprio = '1' ");
    EXPECT_EQ(reference.failure->number(), name == std::string("missing.mdb") ? 3024 : 3343)
        << name;
  }
  fs::remove_all(dir);
}

// What the MDBTools driver cannot tell, stated once: an empty Text is Null through it, so a
// criterion on '' finds nothing where Jet finds the row.
TEST_F(EnginesAgree, ExceptThatTheMdbtoolsDriverGivesEmptyTextsAsNull) {
  jet4::TemporaryDatabase db(types_database());
  const std::string file = db.path().string();
  JetResult reference = mdbtools->first_row(file, "select * from tipi where id = 3 ");
  JetResult through_odbc = odbc->first_row(file, "select * from tipi where id = 3 ");
  EXPECT_EQ(reference.fields[8].value, JetValue::text(""));
  EXPECT_EQ(through_odbc.fields[8].value, JetValue::null(JetType::text));
  EXPECT_EQ(reference.fields[9].value, JetValue::text("", JetType::memo));
  EXPECT_EQ(through_odbc.fields[9].value, JetValue::text("", JetType::memo));

  EXPECT_FALSE(mdbtools->first_row(file, "select * from tipi where testo = '' ").eof);
  EXPECT_TRUE(odbc->first_row(file, "select * from tipi where testo = '' ").eof);
}

}  // namespace
}  // namespace qano
