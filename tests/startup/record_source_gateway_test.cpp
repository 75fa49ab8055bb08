#include "startup/record_source_gateway.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace qano {
namespace {

class GatewayTest : public ::testing::Test {
 protected:
  GatewayTest() : var(platform) {
    platform.add_database(
        "C:\\db\\a.mdb",
        {FakePlatform::Table{
            "società",
            {{"codute", JetType::long_integer}, {"database", JetType::text}},
            {{JetValue::integer(JetType::long_integer, 1), JetValue::text("C:\\super\\dati.mdb")},
             {JetValue::integer(JetType::long_integer, 2), JetValue::null(JetType::text)}}}});
  }
  void point(const std::string& sql) {
    var.DatabaseName = "C:\\db\\a.mdb";
    var.RecordSource = sql;
    var.Refresh();
  }
  template <typename F>
  Failure failure_of(F f) {
    try {
      f();
    } catch (const Failure& failure) {
      return failure;
    }
    return Failure(0, "none");
  }

  FakePlatform platform;
  RecordSourceGateway var;
};

TEST_F(GatewayTest, RunsTheQueryAsGivenAndShowsTheFirstRow) {
  point("select * from società where codute = 1 ");
  ASSERT_EQ(platform.queries().size(), 1u);
  EXPECT_EQ(platform.queries()[0].first, "C:\\db\\a.mdb");
  EXPECT_EQ(platform.queries()[0].second, "select * from società where codute = 1 ");
  EXPECT_FALSE(var.Recordset().Eof());
  EXPECT_FALSE(var.Recordset().Fields("database").IsNull());
  EXPECT_EQ(var.Recordset().Fields("database").Value().as_text(), "C:\\super\\dati.mdb");
  // Columns are found whatever their case, and keep their own name.
  EXPECT_EQ(var.Recordset().Fields("DATABASE").Name(), "database");
}

TEST_F(GatewayTest, NullIsToldApart) {
  point("select * from società where codute = 2 ");
  EXPECT_TRUE(var.Recordset().Fields("database").IsNull());
}

TEST_F(GatewayTest, NoRowIsEofAndNoCurrentRecord) {
  point("select * from società where codute = 9 ");
  EXPECT_TRUE(var.Recordset().Eof());
  Failure f = failure_of([&] { var.Recordset().Fields("database").Value(); });
  EXPECT_EQ(f.number(), 3021);
  EXPECT_EQ(f.text(), "No current record.");
}

TEST_F(GatewayTest, MissingColumnIsItemNotFound) {
  point("select * from società where codute = 1 ");
  Failure f = failure_of([&] { var.Recordset().Fields("aaa"); });
  EXPECT_EQ(f.number(), 3265);
  EXPECT_EQ(f.text(), "Item not found in this collection.");
}

TEST_F(GatewayTest, NoRecordsetBeforeTheFirstRefresh) {
  Failure f = failure_of([&] { var.Recordset(); });
  EXPECT_EQ(f.number(), 91);
  EXPECT_EQ(f.text(), "Object variable or With block variable not set");
}

TEST_F(GatewayTest, ARefreshRunsTheLastQueryAgainOnTheDatabaseItNames) {
  point("select * from società where codute = 1 ");
  point("select * from società where codute = 9 ");
  platform.add_database("C:\\db\\b.mdb", {});
  var.DatabaseName = "C:\\db\\b.mdb";
  EXPECT_EQ(failure_of([&] { var.Refresh(); }).number(), 3078);
  ASSERT_EQ(platform.queries().size(), 3u);
  EXPECT_EQ(platform.queries()[2],
            std::make_pair(std::string("C:\\db\\b.mdb"),
                           std::string("select * from società where codute = 9 ")));
}

TEST_F(GatewayTest, AFailedRefreshLeavesNoStaleRow) {
  point("select * from società where codute = 1 ");
  var.DatabaseName = "C:\\db\\missing.mdb";
  EXPECT_EQ(failure_of([&] { var.Refresh(); }).number(), 3024);
  EXPECT_EQ(failure_of([&] { var.Recordset(); }).number(), 91);
}

}  // namespace
}  // namespace qano
