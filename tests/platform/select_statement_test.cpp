#include "platform/jet/select_statement.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace qano {
namespace {

TEST(SelectStatement, ParsesTheQueriesTheProgramSends) {
  struct Case {
    const char* sql;
    const char* table;
    const char* column;
    JetValue literal;
  };
  const Case cases[] = {
      {"select * from società where codute = 1 ", "società", "codute",
       JetValue::real(JetType::double_precision, 1)},
      {"select * from inizio where codute = 1 ", "inizio", "codute",
       JetValue::real(JetType::double_precision, 1)},
      {"select * from pv where proprio = '1' ", "pv", "proprio", JetValue::text("1")},
      {"SELECT *FROM [my table] WHERE [a b]='it''s'", "my table", "a b", JetValue::text("it's")},
      {"  Select * From utenti Where codutente = -2.5\t\n", "utenti", "codutente",
       JetValue::real(JetType::double_precision, -2.5)},
  };
  for (const Case& c : cases) {
    SelectStatement st = parse_select(c.sql);
    EXPECT_EQ(st.table, c.table) << c.sql;
    EXPECT_EQ(st.column, c.column) << c.sql;
    EXPECT_EQ(st.literal, c.literal) << c.sql;
  }
}

TEST(SelectStatement, RefusesOtherTextsWith3075) {
  for (const char* sql :
       {"", "select * from", "select a from t where c = 1",
        "select * from t where c = 1 order by c", "select * from t where c = '1",
        "select * from t where c = 1x", "delete from t where c = 1", "select * from t where = 1"}) {
    try {
      parse_select(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), 3075) << sql;
      EXPECT_NE(f.text().find(sql), std::string::npos) << f.text();
    }
  }
}

TEST(SelectStatement, ComparesAsJetDoes) {
  JetValue one = JetValue::real(JetType::double_precision, 1);
  EXPECT_TRUE(criteria_match(JetValue::integer(JetType::long_integer, 1), one));
  EXPECT_TRUE(criteria_match(JetValue::currency(10000), one));
  EXPECT_FALSE(criteria_match(JetValue::integer(JetType::integer, 2), one));
  EXPECT_FALSE(criteria_match(JetValue::null(JetType::long_integer), one));
  EXPECT_TRUE(criteria_match(JetValue::text("Società"), JetValue::text("SOCIETÀ")));
  EXPECT_FALSE(criteria_match(JetValue::text("1 "), JetValue::text("1")));
  EXPECT_THROW(criteria_match(JetValue::text("1"), one), Failure);
}

}  // namespace
}  // namespace qano
