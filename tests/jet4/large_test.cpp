// Tables of every size: empty, one row, 100 000 rows (usage map on map
// pages), long-value pages interleaved with data pages, and a definition
// spread over several pages.
#include <gtest/gtest.h>

#include <cstdio>

#include "mdb_reader.h"
#include "test_support.h"

namespace qano::jet4::testing {
namespace {

std::string customer(std::int64_t n) {
  return "cliente n° " + std::to_string(n);
}

TEST(LargeTables, HundredThousandRowsAreAllRead) {
  constexpr std::int64_t kRows = 100000;
  Database db;
  Table& big = db.add_table("movimenti");
  big.add_column("id", ColumnType::LongInteger)
      .add_column("cliente", ColumnType::Text, 30)
      .add_column("importo", ColumnType::Currency)
      .add_column("quando", ColumnType::DateTime);
  big.rows.reserve(kRows);
  for (std::int64_t i = 0; i < kRows; ++i) {
    big.add_row({i, i % 7 == 0 ? Value{null} : Value{customer(i)}, Currency{i * 125 - 5000000},
                 DateTime{2024, 1 + static_cast<int>(i % 12), 1 + static_cast<int>(i % 28),
                          static_cast<int>(i % 24), static_cast<int>(i % 60), 0}});
  }
  db.add_table("piccola").add_column("x", ColumnType::Byte).add_row({std::int64_t{1}});
  const TemporaryDatabase file(db);

  const auto rows = export_rows(file.path(), "movimenti");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
  for (std::int64_t i = 0; i < kRows; ++i) {
    const auto& row = rows[static_cast<std::size_t>(i)];
    const std::vector<std::string> expected = {
        std::to_string(i), i % 7 == 0 ? "" : customer(i), Currency{i * 125 - 5000000}.to_string(),
        DateTime{2024, 1 + static_cast<int>(i % 12), 1 + static_cast<int>(i % 28),
                 static_cast<int>(i % 24), static_cast<int>(i % 60), 0}
            .to_string()};
    // mdb-export always prints four decimals.
    std::string money = expected[2];
    const std::size_t dot = money.find('.');
    money += dot == std::string::npos ? ".0000" : std::string(4 - (money.size() - dot - 1), '0');
    ASSERT_EQ(row, (std::vector<std::string>{expected[0], expected[1], money, expected[3]}))
        << "row " << i;
  }

  const StoredTable stored = read_stored_table(file.path(), "movimenti");
  EXPECT_EQ(stored.rows_in_definition, kRows);
  EXPECT_EQ(stored.rows.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(stored.usage_map_type, 1);  // too many pages for the inline map
  EXPECT_EQ(read_stored_table(file.path(), "piccola").usage_map_type, 0);
}

TEST(LargeTables, MemoPagesInterleavedWithDataPages) {
  // Memos longer than 1024 characters are stored uncompressed, so each of
  // these takes a long-value page of its own, between the table's data pages.
  constexpr int kRows = 1500;
  Database db;
  Table& t = db.add_table("note");
  t.add_column("id", ColumnType::LongInteger).add_column("testo", ColumnType::Memo);
  const auto memo = [](int i) {
    std::string text = "nota " + std::to_string(i) + " ";
    for (int k = 0; k < 200; ++k) text += "àèìòù€";  // 1200 characters
    return text;
  };
  for (int i = 0; i < kRows; ++i) t.add_row({std::int64_t{i}, memo(i)});
  const TemporaryDatabase file(db);

  const auto rows = export_rows(file.path(), "note");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i) {
    ASSERT_EQ(rows[static_cast<std::size_t>(i)],
              (std::vector<std::string>{std::to_string(i), memo(i)}));
  }
  EXPECT_EQ(read_stored_table(file.path(), "note").usage_map_type, 1);
}

TEST(LargeTables, DefinitionWiderThanOnePage) {
  // 255 columns with 64-character names: the definition fills several pages.
  constexpr ColumnType kTypes[] = {
      ColumnType::Boolean,  ColumnType::Byte,   ColumnType::Integer, ColumnType::LongInteger,
      ColumnType::Currency, ColumnType::Single, ColumnType::Double,  ColumnType::DateTime,
      ColumnType::Text,     ColumnType::Memo};
  constexpr const char* kSchema[] = {
      "Boolean NOT NULL", "Byte",   "Integer",  "Long Integer", "Currency",
      "Single",           "Double", "DateTime", "Text (10)",    "Memo/Hyperlink (255)"};
  constexpr const char* kExported[] = {
      "1", "7", "-7", "70000", "7.5000", "0.75", "7.25", "2007-07-07 07:07:07", "sette", "sette è"};
  const Value values[] = {true,
                          std::int64_t{7},
                          std::int64_t{-7},
                          std::int64_t{70000},
                          std::string("7.5"),
                          0.75,
                          7.25,
                          std::string("2007-07-07 07:07:07"),
                          std::string("sette"),
                          std::string("sette è")};
  Database db;
  Table& wide = db.add_table("larga");
  std::vector<Value> row;
  for (int i = 0; i < 255; ++i) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "colonna_%03d_", i);
    std::string name = prefix;                 // 12 characters
    for (int k = 0; k < 52; ++k) name += "à";  // up to the limit of 64
    wide.add_column(name, kTypes[i % 10], kTypes[i % 10] == ColumnType::Text ? 10 : 0);
    row.push_back(values[i % 10]);
  }
  wide.add_row(row);
  wide.add_row(row);
  const TemporaryDatabase file(db);

  const StoredTable stored = read_stored_table(file.path(), "larga");
  EXPECT_GE(stored.definition_pages, 5);
  ASSERT_EQ(stored.columns.size(), 255u);
  for (int i = 0; i < 255; ++i)
    EXPECT_EQ(stored.columns[static_cast<std::size_t>(i)],
              wide.columns[static_cast<std::size_t>(i)].name);

  const ProcessResult schema = mdb("mdb-schema", {"-T", "larga", file.path().string()});
  for (int i = 0; i < 255; ++i) {
    const std::string line =
        "[" + wide.columns[static_cast<std::size_t>(i)].name + "]\t\t\t" + kSchema[i % 10];
    EXPECT_NE(schema.out.find(line), std::string::npos) << line;
  }
  const auto rows = export_rows(file.path(), "larga");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& exported : rows) {
    ASSERT_EQ(exported.size(), 255u);
    for (int i = 0; i < 255; ++i)
      EXPECT_EQ(exported[static_cast<std::size_t>(i)], kExported[i % 10]) << "column " << i;
  }
}

TEST(LargeTables, ManyTablesSpreadTheCatalogOverSeveralPages) {
  // 300 tables: the catalog rows and the usage-map rows each need several pages.
  Database db;
  std::string expected_list;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "tabella_" + std::to_string(i);
    db.add_table(name)
        .add_column("n", ColumnType::LongInteger)
        .add_column("m", ColumnType::Memo)
        .add_row({std::int64_t{i}, std::string(static_cast<std::size_t>(i) * 7, 'q')});
    expected_list += name + "\n";
  }
  const TemporaryDatabase file(db);
  EXPECT_EQ(mdb("mdb-tables", {"-1", file.path().string()}).out, expected_list);
  for (int i : {0, 1, 150, 299}) {
    EXPECT_EQ(export_rows(file.path(), "tabella_" + std::to_string(i)),
              (std::vector<std::vector<std::string>>{
                  {std::to_string(i), std::string(static_cast<std::size_t>(i) * 7, 'q')}}));
  }
}

TEST(LargeTables, EmptyAndSingleRowTables) {
  Database db;
  db.add_table("vuota").add_column("a", ColumnType::LongInteger).add_column("b", ColumnType::Memo);
  db.add_table("una").add_column("a", ColumnType::LongInteger).add_row({std::int64_t{42}});
  const TemporaryDatabase file(db);
  EXPECT_TRUE(export_rows(file.path(), "vuota").empty());
  EXPECT_EQ(export_rows(file.path(), "una"), (std::vector<std::vector<std::string>>{{"42"}}));
  EXPECT_EQ(read_stored_table(file.path(), "vuota").rows_in_definition, 0u);
}

}  // namespace
}  // namespace qano::jet4::testing
