// The queries the controller sends through mdb-sql, run exactly as written
// (trailing blank included) against a master and a company database.
#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

namespace qano::jet4::testing {
namespace {

class MdbSqlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Database master;
    master.add_table("inizio")
        .add_column("codute", ColumnType::LongInteger)
        .add_column("nome", ColumnType::Text, 50)
        .add_row({std::int64_t{1}, std::string("primo")})
        .add_row({std::int64_t{2}, std::string("secondo")});
    master.add_table("società")
        .add_column("codute", ColumnType::LongInteger)
        .add_column("database", ColumnType::Text, 255)
        .add_row({std::int64_t{1}, std::string("C:\\dati\\ditta1.mdb")})
        .add_row({std::int64_t{2}, std::string("C:\\dati\\ditta2.mdb")});
    master_ = std::make_unique<TemporaryDatabase>(master, "master");

    Database company;
    company.add_table("automa")
        .add_column("codice", ColumnType::LongInteger)
        .add_column("aaa", ColumnType::Text, 50)
        .add_row({std::int64_t{1}, std::string("uno")})
        .add_row({std::int64_t{2}, std::string("due")});
    company.add_table("utenti")
        .add_column("codutente", ColumnType::LongInteger)
        .add_column("nrpos", ColumnType::Integer)
        .add_column("artico", ColumnType::Text, 30)
        .add_column("chiusura", ColumnType::DateTime)
        .add_column("fid_rep", ColumnType::LongInteger)
        .add_column("Flag_CF", ColumnType::Boolean)
        .add_row({std::int64_t{1}, std::int64_t{3}, std::string("ART01"),
                  std::string("2024-03-15 18:30:00"), std::int64_t{7}, true})
        .add_row({std::int64_t{2}, std::int64_t{4}, null, null, null, false});
    company.add_table("pv")
        .add_column("proprio", ColumnType::Text, 10)
        .add_column("codice", ColumnType::LongInteger)
        .add_row({std::string("1"), std::int64_t{10}})
        .add_row({std::string("0"), std::int64_t{20}})
        .add_row({null, std::int64_t{30}})
        .add_row({std::string(""), std::int64_t{40}})
        .add_row({std::string("1"), std::int64_t{50}});
    company_ = std::make_unique<TemporaryDatabase>(company, "company");
  }
  static void TearDownTestSuite() {
    master_.reset();
    company_.reset();
  }

  static inline std::unique_ptr<TemporaryDatabase> master_;
  static inline std::unique_ptr<TemporaryDatabase> company_;
};

struct QueryCase {
  bool master;
  std::string query;
  std::string output;
};

TEST_F(MdbSqlTest, ControllerQueriesReturnTheMatchingRows) {
  const QueryCase cases[] = {
      {true, "select * from inizio where codute = 1 ", "\ncodute|nome\n1|primo\n1 Row retrieved\n"},
      {true, "select * from società where codute = 1 ",
       "\ncodute|database\n1|C:\\dati\\ditta1.mdb\n1 Row retrieved\n"},
      {false, "select * from automa where codice = 1 ", "\ncodice|aaa\n1|uno\n1 Row retrieved\n"},
      {false, "select * from utenti where codutente = 1 ",
       "\ncodutente|nrpos|artico|chiusura|fid_rep|Flag_CF\n1|3|ART01|03/15/24 18:30:00|7|1\n"
       "1 Row retrieved\n"},
      {false, "select * from pv where proprio = '1' ",
       "\nproprio|codice\n1|10\n1|50\n2 Rows retrieved\n"},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.query);
    const ProcessResult r = sql((c.master ? master_ : company_)->path(), c.query);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, c.output);
  }
}

TEST_F(MdbSqlTest, RowsWithNullFieldsPrintEmptyFields) {
  const ProcessResult r = sql(company_->path(), "select * from utenti where codutente = 2 ");
  EXPECT_EQ(r.out,
            "\ncodutente|nrpos|artico|chiusura|fid_rep|Flag_CF\n2|4||||0\n1 Row retrieved\n");
}

}  // namespace
}  // namespace qano::jet4::testing
