// Files from the writer read back with the mdbtools commands: version,
// table list, schema and every value of every column type.
#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

namespace qano::jet4::testing {
namespace {

std::string repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct TypeCase {
  ColumnType type;
  int size;
  std::string schema;                                 // as mdb-schema prints the type
  std::vector<std::pair<Value, std::string>> values;  // value, as mdb-export prints it
};

// Covers the limits of each type and, for text, each way text is stored:
// compressed, plain UTF-16 (characters whose low byte is 0 such as U+0100 and
// U+4E00 cannot be compressed), mixed runs, inline and long-value memos.
const std::vector<TypeCase>& type_cases() {
  static const std::vector<TypeCase> cases = {
      {ColumnType::Boolean, 0, "Boolean NOT NULL", {{true, "1"}, {false, "0"}}},
      {ColumnType::Byte, 0, "Byte", {{std::int64_t{0}, "0"}, {std::int64_t{255}, "255"}}},
      {ColumnType::Integer,
       0,
       "Integer",
       {{std::int64_t{-32768}, "-32768"}, {std::int64_t{32767}, "32767"}, {std::int64_t{0}, "0"}}},
      {ColumnType::LongInteger,
       0,
       "Long Integer",
       {{std::int64_t{-2147483648LL}, "-2147483648"}, {std::int64_t{2147483647}, "2147483647"}}},
      {ColumnType::Currency,
       0,
       "Currency",
       {{Currency::parse("-922337203685477.5808"), "-922337203685477.5808"},
        {std::string("922337203685477.5807"), "922337203685477.5807"},
        {std::string("-0.0001"), "-0.0001"},
        {std::int64_t{7}, "7.0000"},
        {12.3456, "12.3456"}}},
      {ColumnType::Single,
       0,
       "Single",
       {{3.5, "3.5"},
        {-0.25, "-0.25"},
        {std::int64_t{16777216}, "16777216"},
        {1.5e-10, "1.5e-10"},
        {3.4028234663852886e38, "3.4028235e+38"}}},
      {ColumnType::Double,
       0,
       "Double",
       {{1234.125, "1234.125"},
        {1e300, "1e+300"},
        {-2.5e-300, "-2.5e-300"},
        {0.1, "0.1"},
        {std::int64_t{42}, "42"}}},
      {ColumnType::DateTime,
       0,
       "DateTime",
       {{std::string("2024-03-15 10:20:30"), "2024-03-15 10:20:30"},
        {DateTime{1900, 1, 1, 0, 0, 0}, "1900-01-01 00:00:00"},
        {std::string("2000-02-29"), "2000-02-29 00:00:00"},
        {std::string("1899-12-30T06:00"), "1899-12-30 06:00:00"},
        {std::string("4000-12-31 23:59:59"), "4000-12-31 23:59:59"}}},
      {ColumnType::Text,
       40,
       "Text (40)",
       {{std::string("abc"), "abc"},
        {std::string("a"), "a"},
        {std::string(""), ""},
        {std::string("Perché € 5"), "Perché € 5"},
        {std::string("一二三"), "一二三"},
        {std::string("Ā x Ā"), "Ā x Ā"},
        {std::string("tab\there\nnew line, \"quoted\""), "tab\there\nnew line, \"quoted\""},
        {std::string("ÿþ at the start"), "ÿþ at the start"},
        {std::string("\uFEFF"), "\uFEFF"}}},  // plain form would look like the FF FE marker
      {ColumnType::Text, 1, "Text (1)", {{std::string("é"), "é"}}},
      {ColumnType::Text, 255, "Text (255)", {{repeat("è", 255), repeat("è", 255)}}},
      {ColumnType::Memo,
       0,
       "Memo/Hyperlink (255)",
       {{std::string(""), ""},
        {std::string("memo breve"), "memo breve"},
        {repeat("m", 62), repeat("m", 62)},              // compressed to 64 bytes: inline
        {repeat("m", 63), repeat("m", 63)},              // 65 bytes: one long-value row
        {repeat("é", 1024), repeat("é", 1024)},          // largest compressible memo
        {repeat("é", 1025), repeat("é", 1025)},          // stored as 2050 bytes of UTF-16
        {repeat("x€", 1500), repeat("x€", 1500)},        // 6000 bytes: chain of two rows
        {repeat("ab€", 30000), repeat("ab€", 30000)}}},  // chain over many pages
  };
  return cases;
}

std::string table_for(std::size_t index) {
  return "t" + std::to_string(index);
}

class MdbToolsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Database db;
    for (const char* name : {"inizio", "società", "Ñandú"}) {
      db.add_table(name).add_column("id", ColumnType::LongInteger).add_row({std::int64_t{1}});
    }
    for (std::size_t i = 0; i < type_cases().size(); ++i) {
      const TypeCase& c = type_cases()[i];
      Table& t = db.add_table(table_for(i));
      t.add_column("n", ColumnType::LongInteger).add_column("v", c.type, c.size);
      for (std::size_t r = 0; r < c.values.size(); ++r) {
        t.add_row({static_cast<std::int64_t>(r), c.values[r].first});
      }
    }
    file_ = std::make_unique<TemporaryDatabase>(db);
  }
  static void TearDownTestSuite() { file_.reset(); }
  static std::string path() { return file_->path().string(); }

  static inline std::unique_ptr<TemporaryDatabase> file_;
};

TEST_F(MdbToolsTest, VersionIsJet4) {
  const ProcessResult r = mdb("mdb-ver", {path()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "JET4\n");
}

TEST_F(MdbToolsTest, TablesAreListedWithTheirNamesInOrder) {
  ProcessResult r = mdb("mdb-tables", {"-1", path()});
  EXPECT_EQ(r.exit_code, 0);
  std::string expected = "inizio\nsocietà\nÑandú\n";
  for (std::size_t i = 0; i < type_cases().size(); ++i) expected += table_for(i) + "\n";
  EXPECT_EQ(r.out, expected);

  r = mdb("mdb-tables", {"-1", "-S", path()});
  EXPECT_EQ(r.out, "MSysObjects\n" + expected);
}

TEST_F(MdbToolsTest, SchemaShowsTypeAndSizeOfEveryColumn) {
  for (std::size_t i = 0; i < type_cases().size(); ++i) {
    const ProcessResult r = mdb("mdb-schema", {"-T", table_for(i), path()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("[n]\t\t\tLong Integer, \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[v]\t\t\t" + type_cases()[i].schema + "\n"), std::string::npos) << r.out;
  }
}

TEST_F(MdbToolsTest, ExportShowsEveryValueExactly) {
  for (std::size_t i = 0; i < type_cases().size(); ++i) {
    const TypeCase& c = type_cases()[i];
    SCOPED_TRACE(std::string(type_name(c.type)) + " case table " + table_for(i));
    const auto rows = export_rows(path(), table_for(i));
    ASSERT_EQ(rows.size(), c.values.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].size(), 2u);
      EXPECT_EQ(rows[r][0], std::to_string(r));
      EXPECT_EQ(rows[r][1], c.values[r].second) << "row " << r;
    }
  }
}

TEST_F(MdbToolsTest, JsonExportAgreesForTheAccentedTable) {
  const ProcessResult r = mdb("mdb-json", {path(), "società"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "{\"id\":1}\n");
}

}  // namespace
}  // namespace qano::jet4::testing
