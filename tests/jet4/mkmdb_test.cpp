// The mkmdb command: JSON description in, database out, errors on stderr.
#include <gtest/gtest.h>

#include <fstream>

#include "mdb_reader.h"
#include "test_support.h"

namespace qano::jet4::testing {
namespace {

void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ProcessResult mkmdb(const std::filesystem::path& json, const std::filesystem::path& out) {
  return run_process({mkmdb_path(), json.string(), out.string()});
}

TEST(Mkmdb, WritesTheDescribedDatabase) {
  ScratchDir dir;
  write_text(dir / "master.json", R"({
    "created": "2024-01-02 03:04:05",
    "tables": [
      {"name": "società",
       "columns": [{"name": "codute", "type": "Long"},
                   {"name": "database", "type": "text", "size": 255}],
       "rows": [[1, "C:\\dati\\ditta1.mdb"], [2, null], [3, ""]]},
      {"name": "tipi",
       "columns": [{"name": "b", "type": "Boolean"}, {"name": "y", "type": "Byte"},
                   {"name": "i", "type": "Integer"}, {"name": "l", "type": "Long Integer"},
                   {"name": "c", "type": "Currency"}, {"name": "s", "type": "Single"},
                   {"name": "d", "type": "Double"}, {"name": "t", "type": "Date/Time"},
                   {"name": "x", "type": "Text", "size": 5}, {"name": "m", "type": "Memo"}],
       "rows": [[true, 1, -2, 3, "4.0005", 0.5, 6.25, "2024-07-08T09:10:11", "otto", "nove €"],
                [false, null, null, null, null, null, null, null, null, null]]}
    ]})");
  const ProcessResult r = mkmdb(dir / "master.json", dir / "master.mdb");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(
      export_rows(dir / "master.mdb", "società"),
      (std::vector<std::vector<std::string>>{{"1", "C:\\dati\\ditta1.mdb"}, {"2", ""}, {"3", ""}}));
  EXPECT_EQ(export_rows(dir / "master.mdb", "tipi"),
            (std::vector<std::vector<std::string>>{{"1", "1", "-2", "3", "4.0005", "0.5", "6.25",
                                                    "2024-07-08 09:10:11", "otto", "nove €"},
                                                   {"0", "", "", "", "", "", "", "", "", ""}}));
  const StoredTable stored = read_stored_table(dir / "master.mdb", "società");
  ASSERT_EQ(stored.rows.size(), 3u);
  EXPECT_TRUE(stored.rows[1][1].is_null);
  EXPECT_FALSE(stored.rows[2][1].is_null);
}

TEST(Mkmdb, BadDescriptionsExitWithStatus2AndWriteNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"tables": [)", "not valid JSON"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "Numeric"}]}]})",
       "unknown column type \"Numeric\""},
      {R"({"tables": [{"name": "t", "colums": []}]})", "unknown key \"colums\""},
      {R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "Byte"}], "rows": [[256]]}]})",
       "table \"t\", row 1: column \"a\": integer 256 is out of range for Byte"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "Text", "size": 2}],
                       "rows": [["abc"]]}]})",
       "longer than the column's size 2"},
      {R"({"tables": [{"name": "pv", "columns": [{"name": "a", "type": "Byte"}]},
                      {"name": "PV", "columns": [{"name": "a", "type": "Byte"}]}]})",
       "duplicate table name \"PV\""},
      {R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "Boolean"}], "rows": [[null]]}]})",
       "cannot be Null"},
      {R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "Long"}],
                       "rows": [[18446744073709551615]]}]})",
       "out of range"},
  };
  ScratchDir dir;
  for (const auto& [json, message] : cases) {
    SCOPED_TRACE(json);
    write_text(dir / "bad.json", json);
    const ProcessResult r = mkmdb(dir / "bad.json", dir / "bad.mdb");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.mdb"));
  }
}

TEST(Mkmdb, UsageAndIoErrors) {
  ProcessResult r = run_process({mkmdb_path()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("usage: mkmdb DESCRIPTION.json OUT.mdb"), std::string::npos);

  ScratchDir dir;
  r = mkmdb(dir / "missing.json", dir / "out.mdb");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;

  write_text(dir / "ok.json", R"({"tables": []})");
  r = mkmdb(dir / "ok.json", dir / "no-such-dir" / "out.mdb");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qano::jet4::testing
