// What libmdb finds in the rows beyond what the commands print: the null
// flag of each field (mdb-export and mdb-json print a zero-length text and a
// Null alike) and the exact stored bytes of numbers and dates.
#include <gtest/gtest.h>

#include <cstring>

#include "mdb_reader.h"
#include "test_support.h"

namespace qano::jet4::testing {
namespace {

template <typename T>
T stored_as(const StoredField& field) {
  T value{};
  EXPECT_EQ(field.bytes.size(), sizeof(T));
  if (field.bytes.size() == sizeof(T)) std::memcpy(&value, field.bytes.data(), sizeof(T));
  return value;
}

TEST(StoredRows, NullIsNullAndEmptyTextIsNot) {
  Database db;
  Table& t = db.add_table("nulls");
  t.add_column("flag", ColumnType::Boolean)
      .add_column("byte", ColumnType::Byte)
      .add_column("int", ColumnType::Integer)
      .add_column("long", ColumnType::LongInteger)
      .add_column("money", ColumnType::Currency)
      .add_column("single", ColumnType::Single)
      .add_column("double", ColumnType::Double)
      .add_column("date", ColumnType::DateTime)
      .add_column("text", ColumnType::Text, 20)
      .add_column("memo", ColumnType::Memo);
  t.add_row({false, null, null, null, null, null, null, null, null, null});
  t.add_row({true, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, 0.0, 0.0,
             std::string("1899-12-30"), std::string(""), std::string("")});
  t.add_row({false, null, std::int64_t{5}, null, std::string("1.5"), null, 2.5, null,
             std::string("x"), null});
  const TemporaryDatabase file(db);

  const StoredTable stored = read_stored_table(file.path(), "nulls");
  ASSERT_EQ(stored.rows.size(), 3u);
  // Boolean columns have no Null: the flag is the value.
  const std::vector<std::vector<bool>> expected_null = {
      {true, true, true, true, true, true, true, true, true, true},
      {false, false, false, false, false, false, false, false, false, false},
      {true, true, false, true, false, true, false, true, false, true},
  };
  for (std::size_t r = 0; r < stored.rows.size(); ++r) {
    for (std::size_t c = 0; c < stored.columns.size(); ++c) {
      EXPECT_EQ(stored.rows[r][c].is_null, expected_null[r][c])
          << "row " << r << " column " << stored.columns[c];
    }
  }
  EXPECT_EQ(stored.rows[0][0].text, "0");
  EXPECT_EQ(stored.rows[1][0].text, "1");
  EXPECT_EQ(stored.rows[2][2].text, "5");
  EXPECT_EQ(stored.rows[2][4].text, "1.5000");
  EXPECT_EQ(stored.rows[2][8].text, "x");
}

TEST(StoredRows, NumbersAndDatesKeepTheirExactBits) {
  Database db;
  Table& t = db.add_table("exact");
  t.add_column("money", ColumnType::Currency)
      .add_column("single", ColumnType::Single)
      .add_column("double", ColumnType::Double)
      .add_column("date", ColumnType::DateTime);
  t.add_row(
      {std::string("-1234567.8912"), 0.1, 0.30000000000000004, std::string("1899-12-29 06:00")});
  t.add_row({Currency{std::numeric_limits<std::int64_t>::min()}, -3.4028234663852886e38,
             1234567890123456789.0, std::string("2024-02-29 18:00")});
  t.add_row({std::int64_t{-3}, std::int64_t{16777217}, std::numeric_limits<double>::denorm_min(),
             std::string("0100-01-01")});
  const TemporaryDatabase file(db);

  const StoredTable stored = read_stored_table(file.path(), "exact");
  ASSERT_EQ(stored.rows.size(), 3u);
  EXPECT_EQ(stored_as<std::int64_t>(stored.rows[0][0]), -12345678912LL);
  EXPECT_EQ(stored_as<float>(stored.rows[0][1]), 0.1f);
  EXPECT_EQ(stored_as<double>(stored.rows[0][2]), 0.30000000000000004);
  // Before 1899-12-30 the time of day counts away from zero.
  EXPECT_EQ(stored_as<double>(stored.rows[0][3]), -1.25);

  EXPECT_EQ(stored_as<std::int64_t>(stored.rows[1][0]), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(stored_as<float>(stored.rows[1][1]), -3.4028234663852886e38f);
  EXPECT_EQ(stored_as<double>(stored.rows[1][2]), 1234567890123456789.0);
  EXPECT_EQ(stored_as<double>(stored.rows[1][3]), 45351.75);

  EXPECT_EQ(stored_as<std::int64_t>(stored.rows[2][0]), -30000);
  EXPECT_EQ(stored_as<float>(stored.rows[2][1]), 16777216.0f);  // nearest float
  EXPECT_EQ(stored_as<double>(stored.rows[2][2]), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(stored_as<double>(stored.rows[2][3]), -657434.0);
}

TEST(StoredRows, TextOutsideTheBasicPlaneIsStoredAsSurrogatePairs) {
  Database db;
  db.add_table("emoji").add_column("t", ColumnType::Text, 10).add_row({std::string("a😀")});
  const TemporaryDatabase file(db);
  const StoredTable stored = read_stored_table(file.path(), "emoji");
  ASSERT_EQ(stored.rows.size(), 1u);
  // 'a', U+D83D, U+DE00 in UTF-16LE; mdbtools 1.0 prints the pair as "??".
  const std::vector<std::uint8_t> expected = {0x61, 0x00, 0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(stored.rows[0][0].bytes, expected);
}

}  // namespace
}  // namespace qano::jet4::testing
