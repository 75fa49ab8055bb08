// The writer's own rules: value conversions, rejected input and how files
// are replaced.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>

#include "test_support.h"

namespace qano::jet4::testing {
namespace {

std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Values, CurrencyParsesAndPrintsExactly) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"0", 0},
      {"-0.0001", -1},
      {"+12.5", 125000},
      {".25", 2500},
      {"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
      {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [text, units] : cases) {
    EXPECT_EQ(Currency::parse(text).ten_thousandths, units) << text;
  }
  EXPECT_EQ(Currency{125000}.to_string(), "12.5");
  EXPECT_EQ(Currency{-1}.to_string(), "-0.0001");
  EXPECT_EQ(Currency{std::numeric_limits<std::int64_t>::min()}.to_string(),
            "-922337203685477.5808");
  for (const char* bad : {"", "-", "1.", "1.23456", "12a", "1e3", "922337203685477.5808", "1,5"}) {
    EXPECT_THROW(Currency::parse(bad), InputError) << bad;
  }
}

TEST(Values, DateTimeParsesAndCountsDaysFrom1899) {
  EXPECT_EQ(DateTime::parse("2024-02-29T18:00").to_serial(), 45351.75);
  EXPECT_EQ(DateTime::parse("1899-12-30").to_serial(), 0.0);
  EXPECT_EQ(DateTime::parse("1899-12-29 06:00:00").to_serial(), -1.25);
  EXPECT_EQ(DateTime::parse("9999-12-31 00:00").to_serial(), 2958465.0);
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-01-01 24:00", "2024-1-1", "0099-12-31",
                          "2024-01-01 10:00:60", "2024-01-01X10:00"}) {
    EXPECT_THROW(DateTime::parse(bad), InputError) << bad;
  }
}

struct BadInput {
  const char* what;
  std::function<void(Database&)> build;
  const char* message;  // part of the exception text
};

// One table "t" with a column "v" of the given type holding `value`.
std::function<void(Database&)> one_value(ColumnType type, Value value, int size = 0) {
  return [=](Database& db) { db.add_table("t").add_column("v", type, size).add_row({value}); };
}

TEST(Validation, BadInputIsRejectedWithAClearMessage) {
  const BadInput cases[] = {
      {"byte range", one_value(ColumnType::Byte, std::int64_t{256}),
       "table \"t\", row 1: column \"v\": integer 256 is out of range for Byte"},
      {"integer range", one_value(ColumnType::Integer, std::int64_t{-32769}), "out of range"},
      {"long range", one_value(ColumnType::LongInteger, std::int64_t{2147483648LL}),
       "out of range"},
      {"single range", one_value(ColumnType::Single, 1e39), "out of range for Single"},
      {"double nan", one_value(ColumnType::Double, std::nan("")), "not finite"},
      {"currency too large", one_value(ColumnType::Currency, std::int64_t{1000000000000000}),
       "out of range"},
      {"text for a number", one_value(ColumnType::LongInteger, std::string("12")),
       "is not an integer"},
      {"boolean null", one_value(ColumnType::Boolean, null), "cannot be Null"},
      {"boolean from integer", one_value(ColumnType::Boolean, std::int64_t{1}), "not true/false"},
      {"text too long", one_value(ColumnType::Text, std::string("€€€€"), 3),
       "text of 4 characters is longer than the column's size 3"},
      {"surrogate pairs count twice", one_value(ColumnType::Text, std::string("😀😀"), 3),
       "longer than"},
      {"invalid utf-8", one_value(ColumnType::Text, std::string("\xC3\x28")), "invalid UTF-8"},
      {"bad date text", one_value(ColumnType::DateTime, std::string("31/12/2024")),
       "invalid date/time"},
      {"text size", [](Database& db) { db.add_table("t").add_column("v", ColumnType::Text, 256); },
       "Text size 256"},
      {"size on a number",
       [](Database& db) { db.add_table("t").add_column("v", ColumnType::Double, 8); },
       "size applies only to Text"},
      {"row arity",
       [](Database& db) {
         db.add_table("t").add_column("v", ColumnType::Byte).add_row({std::int64_t{1}, null});
       },
       "row 1: has 2 values for 1 columns"},
      {"duplicate table",
       [](Database& db) {
         db.add_table("Società").add_column("a", ColumnType::Byte);
         db.add_table("SOCIETÀ").add_column("a", ColumnType::Byte);
       },
       "duplicate table name \"SOCIETÀ\""},
      {"duplicate column",
       [](Database& db) {
         db.add_table("t")
             .add_column("Prezzo", ColumnType::Byte)
             .add_column("prezzo", ColumnType::Memo);
       },
       "duplicate column name \"prezzo\""},
      {"system prefix",
       [](Database& db) { db.add_table("msysObjects").add_column("a", ColumnType::Byte); }, "MSys"},
      {"dot in name", [](Database& db) { db.add_table("a.b").add_column("a", ColumnType::Byte); },
       "does not allow"},
      {"name too long",
       [](Database& db) { db.add_table(std::string(65, 'n')).add_column("a", ColumnType::Byte); },
       "longer than 64"},
      {"no columns", [](Database& db) { db.add_table("t"); }, "has no columns"},
      {"too many columns",
       [](Database& db) {
         Table& t = db.add_table("t");
         for (int i = 0; i < 256; ++i) t.add_column("c" + std::to_string(i), ColumnType::Byte);
       },
       "more than 255"},
      {"row too long",
       [](Database& db) {
         Table& t = db.add_table("t");
         std::vector<Value> row;
         for (int i = 0; i < 9; ++i) {
           t.add_column("c" + std::to_string(i), ColumnType::Text, 255);
           row.push_back(std::string(250, 'a') + "Ā");  // U+0100 keeps it uncompressed: 502 bytes
         }
         t.add_row(row);
       },
       "more than the 4080 bytes a row can have"},
      {"plain text cannot start with U+FEFF",
       one_value(ColumnType::Memo, "\xEF\xBB\xBF" + std::string(1100, 'a')), "U+FEFF"},
      {"bad creation date",
       [](Database& db) {
         db.created = DateTime{2024, 2, 30};
       },
       "invalid date/time"},
  };
  for (const BadInput& c : cases) {
    Database db;
    c.build(db);
    try {
      validate(db);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

TEST(Validation, LargestMemoIsAcceptedAndOneByteMoreIsNot) {
  Database db;
  // Over 1024 characters memos are stored as two bytes per character.
  db.add_table("t").add_column("m", ColumnType::Memo).add_row({std::string(0xFFFFFF / 2, 'm')});
  EXPECT_NO_THROW(validate(db));
  std::get<std::string>(db.tables[0].rows[0][0]) += "m";
  EXPECT_THROW(validate(db), InputError);
}

TEST(Files, SameDescriptionGivesTheSameBytes) {
  ScratchDir dir;
  Database db;
  db.add_table("società").add_column("x", ColumnType::Text).add_row({std::string("è")});
  write_database(db, dir / "a.mdb");
  write_database(db, dir / "b.mdb");
  EXPECT_EQ(file_bytes(dir / "a.mdb"), file_bytes(dir / "b.mdb"));
  EXPECT_EQ(file_bytes(dir / "a.mdb").size() % 4096, 0u);
  db.created = DateTime{2024, 5, 6, 7, 8, 9};
  write_database(db, dir / "b.mdb");
  EXPECT_NE(file_bytes(dir / "a.mdb"), file_bytes(dir / "b.mdb"));
}

TEST(Files, FailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
  ScratchDir dir;
  const auto target = dir / "old.mdb";
  std::ofstream(target) << "previous content";
  Database db;
  Table& t = db.add_table("t");
  t.add_column("v", ColumnType::Byte);
  for (int i = 0; i < 5000; ++i) t.add_row({std::int64_t{i % 256}});
  t.add_row({std::int64_t{300}});  // found only after many pages were written
  EXPECT_THROW(write_database(db, target), InputError);
  EXPECT_EQ(file_bytes(target), "previous content");
  const auto entries = std::distance(std::filesystem::directory_iterator(dir / ""),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1);
}

TEST(Files, TemporaryDatabaseIsRemovedAfterUse) {
  Database db;
  db.add_table("t").add_column("v", ColumnType::Byte);
  std::filesystem::path path;
  {
    const TemporaryDatabase file(db);
    path = file.path();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(mdb("mdb-tables", {"-1", path.string()}).out, "t\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace qano::jet4::testing
