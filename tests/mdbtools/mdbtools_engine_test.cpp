// The mdbtools engine's own ways on real Access 2000 files written by the project's Jet 4 writer:
// damaged files, its reader process and a Memo longer than the ODBC driver gives. What it shares
// with every engine is in tests/jet_contract.
#include "platform/mdbtools/mdbtools_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/failure.h"
#include "platform/jet/isolated_engine.h"
#include "platform/jet/jet_contract.h"
#include "tests/support/sample_databases.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::ColumnType;

using sample::types_database;

// Damaged copies of a real database: every outcome is a row, no row or a failure with a number,
// never a crash or a hang of the caller.
TEST(EngineOnDamagedFiles, TruncatedAndScribbledCopiesFailCleanly) {
  jet4::TemporaryDatabase good(types_database());
  std::ifstream in(good.path(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size() % 4096, 0u);
  // A damaged file may send the reader round in circles: two seconds are plenty for this one.
  auto engine = isolate_engine([] { return make_mdbtools_engine(); },
                               IsolationOptions{std::chrono::seconds(2), std::chrono::seconds(2)});
  fs::path damaged = good.path().string() + ".damaged";
  const std::string sql = "select * from società where codute = 1 ";

  auto outcome = [&](const std::string& content) {
    std::ofstream(damaged, std::ios::binary | std::ios::trunc) << content;
    try {
      jet_contract::run_query(*engine, damaged.string(), sql);
      return 0;
    } catch (const Failure& f) {
      return f.number();
    }
  };
  // A file cut short is damaged: never a missing table, never a table without rows.
  for (std::size_t pages = 0; pages < bytes.size() / 4096; ++pages) {
    int number = outcome(bytes.substr(0, pages * 4096));
    EXPECT_EQ(number, 3343) << "truncated to " << pages << " pages";
  }
  EXPECT_EQ(outcome(bytes.substr(0, bytes.size() - 100)), 3343);  // a torn last page
  EXPECT_EQ(outcome(bytes), 0);

  std::mt19937 random(20261208);
  for (int round = 0; round < 40; ++round) {
    std::string scribbled = bytes;
    std::size_t page = 2 + static_cast<std::size_t>(round % 2);  // the catalog and the page after
    for (int i = 0; i < 64; ++i) {
      scribbled[page * 4096 + random() % 4096] = static_cast<char>(random());
    }
    int number = outcome(scribbled);
    EXPECT_TRUE(number == 0 || number >= 3000) << "round " << round << ": " << number;
  }
  fs::remove(damaged);
}

TEST(EngineTimeLimit, AReaderThatDoesNotEndIsGivenUp) {
  jet4::TemporaryDatabase db(types_database());
  auto engine =
      isolate_engine([] { return make_mdbtools_engine(); },
                     IsolationOptions{std::chrono::milliseconds(0), std::chrono::seconds(2)});
  try {
    jet_contract::run_query(*engine, db.path().string(), "select * from pv where proprio = '1' ");
    FAIL() << "a reader without time finished";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.text().find("did not end"), std::string::npos) << f.text();
  }
}

// One reader answers a run of queries: each one reads its file as it is at that moment, and a
// reader that ends between two queries for being idle is replaced without the caller noticing.
TEST(EngineReader, ARunOfQueriesSeesEachFileAsItIsNow) {
  jet4::TemporaryDatabase other(types_database());
  for (int idle_ms : {2000, 0, 1}) {
    auto engine = isolate_engine(
        [] { return make_mdbtools_engine(); },
        IsolationOptions{std::chrono::seconds(30), std::chrono::milliseconds(idle_ms)});
    for (int round = 1; round <= 12; ++round) {
      jet4::Database db = types_database();
      jet4::Table& pv = db.tables[2];
      pv.rows[2][1] = std::int64_t{100 + round};
      jet4::write_database(db, other.path());
      JetResult r = jet_contract::run_query(*engine, other.path().string(),
                                            "select * from pv where proprio = '1' ");
      ASSERT_FALSE(r.eof) << idle_ms << " ms, round " << round;
      EXPECT_EQ(r.fields[1].value.as_integer(), 100 + round) << idle_ms << " ms, round " << round;
      // A failure in between ends that reader; the next query gets a fresh one.
      if (round % 4 == 0) {
        EXPECT_THROW(jet_contract::run_query(*engine, other.path().string(),
                                             "select * from nessuna where a = 1 "),
                     Failure);
      }
    }
  }
}

// A file cut in half: its long usage map names pages the file no longer has.
TEST(EngineOnLargeTables, ATableCutInHalfIsDamaged) {
  jet4::TemporaryDatabase file(sample::users_database(100000));
  auto engine = make_mdbtools_engine();
  fs::path half = file.path().string() + ".half";
  fs::copy_file(file.path(), half);
  fs::resize_file(half, fs::file_size(half) / 2 / 4096 * 4096);
  try {
    jet_contract::run_query(*engine, half.string(), "select * from utenti where codutente = 1 ");
    ADD_FAILURE() << "a table cut in half was read";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.text().find("rows of 'utenti'"), std::string::npos) << f.text();
  }
  fs::remove(half);
}

}  // namespace
}  // namespace qano

namespace qano {
namespace {

TEST(EngineOnLongTexts, GivesAMemoWhole) {
  std::string ascii(100000, 'x');
  std::string accented;
  for (int i = 0; i < 30000; ++i) accented += "è€";  // 3 and 2 bytes of UTF-8 each
  jet4::Database db;
  jet4::Table& t = db.add_table("note");
  t.add_column("id", ColumnType::LongInteger).add_column("nota", ColumnType::Memo);
  t.add_row({std::int64_t{1}, ascii});
  t.add_row({std::int64_t{2}, accented});
  jet4::TemporaryDatabase file(db);
  auto engine = make_mdbtools_engine();
  for (auto [id, text] : {std::pair{1, &ascii}, std::pair{2, &accented}}) {
    JetResult r = jet_contract::run_query(
        *engine, file.path().string(), "select * from note where id = " + std::to_string(id) + " ");
    ASSERT_FALSE(r.eof);
    EXPECT_EQ(r.fields[1].value.as_text().size(), text->size()) << id;
    EXPECT_EQ(r.fields[1].value, JetValue::text(*text, JetType::memo)) << id;
  }
}

}  // namespace
}  // namespace qano
