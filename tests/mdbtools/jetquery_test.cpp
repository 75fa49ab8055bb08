// jetquery as the shop's IT runs it: one query, the first row printed a column a line.
#include <gtest/gtest.h>

#include "tests/jet4/process.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano {
namespace {

using jet4::ColumnType;
using jet4::testing::run_process;

TEST(Jetquery, PrintsEveryTypeNullsAndEndOfFile) {
  jet4::Database db;
  jet4::Table& t = db.add_table("società");
  t.add_column("codute", ColumnType::LongInteger)
      .add_column("database", ColumnType::Text, 255)
      .add_column("attivo", ColumnType::Boolean)
      .add_column("b", ColumnType::Byte)
      .add_column("i", ColumnType::Integer)
      .add_column("saldo", ColumnType::Currency)
      .add_column("s", ColumnType::Single)
      .add_column("d", ColumnType::Double)
      .add_column("dal", ColumnType::DateTime)
      .add_column("prima", ColumnType::DateTime)
      .add_column("nota", ColumnType::Memo);
  t.add_row({std::int64_t{1}, std::string("C:\\super\\dati \"nuovi\".mdb"), true, std::int64_t{7},
             std::int64_t{-3}, jet4::Currency::parse("-0.0001"), 0.5, 12.25,
             jet4::DateTime::parse("2026-12-07 12:21:27"),
             jet4::DateTime::parse("1899-12-29 06:00"), jet4::null});
  jet4::TemporaryDatabase file(db);

  auto r = run_process(
      {QANO_JETQUERY_PATH, file.path().string(), "select * from società where codute = 1 "});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "codute\tLong Integer\t1\n"
            "database\tText\t\"C:\\\\super\\\\dati \\\"nuovi\\\".mdb\"\n"
            "attivo\tBoolean\ttrue\n"
            "b\tByte\t7\n"
            "i\tInteger\t-3\n"
            "saldo\tCurrency\t-0.0001\n"
            "s\tSingle\t0.5\n"
            "d\tDouble\t12.25\n"
            "dal\tDate/Time\t\"2026-12-07 12:21:27\"\n"
            "prima\tDate/Time\t\"1899-12-29 06:00:00\"\n"
            "nota\tMemo\tnull\n");

  auto none = run_process(
      {QANO_JETQUERY_PATH, file.path().string(), "select * from società where codute = 2 "});
  EXPECT_EQ(none.exit_code, 0);
  EXPECT_EQ(none.out, "EOF\n");
}

TEST(Jetquery, FailuresGoToStandardErrorWithTheirNumber) {
  auto missing = run_process(
      {QANO_JETQUERY_PATH, "/nonexistent/dati.mdb", "select * from pv where proprio = '1' "});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "jetquery: failure 3024: Could not find file '/nonexistent/dati.mdb'.\n");
  auto usage = run_process({QANO_JETQUERY_PATH, "only-one-argument"});
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("usage"), std::string::npos);
}

}  // namespace
}  // namespace qano
