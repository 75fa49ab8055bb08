// The query text that the Access driver receives, with the criteria in it, run through the
// MDBTools driver: a test program of its own, because of a leak in that driver.
#include <gtest/gtest.h>

#include "platform/jet/jet_contract.h"
#include "platform/odbc/odbc_engine.h"
#include "tests/support/sample_databases.h"

// libmdbsql, behind the MDBTools driver, never frees the criteria of a query it parses
// (mdb_sql_add_sarg); only this test program, which leaves the criteria to the driver, meets it.
// The leak is told from any of ours by its stack, which needs the slow unwinder (the driver has no
// frame pointers) and the driver still loaded when the program ends (DontDLClose in the driver
// list).
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
  return "leak:mdb_sql_add_sarg\n";
}

namespace qano {
namespace {

// The Access driver gets the criteria in its query and hands over one row. The same query text
// runs here through the MDBTools driver, on criteria that it compares right.
TEST(OdbcEngineWithCriteriaInTheQuery, GivesTheRowsTheEngineFinds) {
  OdbcOptions options;
  options.criteria_to_mdbtools = true;
  auto by_driver = make_odbc_engine(options);
  auto by_engine = make_odbc_engine();
  jet4::TemporaryDatabase master(sample::master_database());
  jet4::TemporaryDatabase data(sample::data_database());
  const std::pair<const jet4::TemporaryDatabase&, const char*> cases[] = {
      {master, "select * from società where codute = 1 "},
      {master, "select * from inizio where codute = 1 "},
      {master, "select * from società where codute = 9 "},
      {data, "select * from automa where codice = 1 "},
      {data, "select * from utenti where codutente = 1 "},
      {data, "select * from pv where proprio = '1' "},
      {data, "select * from pv where proprio = '2' "},
  };
  int rows = 0;
  for (const auto& [db, sql] : cases) {
    JetResult scanned = jet_contract::run_query(*by_engine, db.path().string(), sql);
    JetResult compared = jet_contract::run_query(*by_driver, db.path().string(), sql);
    EXPECT_EQ(compared.eof, scanned.eof) << sql;
    EXPECT_EQ(compared.fields, scanned.fields) << sql;
    rows += scanned.eof ? 0 : 1;
  }
  EXPECT_EQ(rows, 5);
  // The first of several matching rows, in the table's order.
  JetResult first = jet_contract::run_query(*by_driver, data.path().string(),
                                            "select * from pv where proprio = '1' ");
  EXPECT_EQ(first.fields[1].value, JetValue::integer(JetType::long_integer, 12));

  // And why the engine does not leave the criteria to this driver otherwise: it compares texts
  // with their case and never matches a negative number.
  jet4::TemporaryDatabase types(sample::types_database());
  for (const char* sql :
       {"select * from pv where proprio = 'a' ", "select * from tipi where int = -32768 "}) {
    EXPECT_FALSE(jet_contract::run_query(*by_engine, types.path().string(), sql).eof) << sql;
    EXPECT_TRUE(jet_contract::run_query(*by_driver, types.path().string(), sql).eof) << sql;
  }
}

}  // namespace
}  // namespace qano
