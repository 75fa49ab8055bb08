// The program's whole start-up against mdbtools' own query command. For data databases whose
// tables automa, utenti and pv hold 10, 10,000 and 200,000 rows, the wanted row first or last:
//   qanocheck   the start-up as the program runs it (six queries, each in its own reader
//               process), a whole process in drive C: of a Wine-style prefix;
//   mdb-sql     each of the five distinct start-up queries as a whole mdb-sql process.
// Prints Google Benchmark's table (medians of repetitions), then the comparison with its targets.
// Usage: startup_bench [--benchmark_...]
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "tools/dev/kit/shop_files.h"

namespace {

namespace fs = std::filesystem;
using namespace qano;
using jet4::ColumnType;

const std::vector<int> kSizes = {10, 10000, 200000};

struct Query {
  const char* name;
  bool master;  // on super.mdb, else on dati.mdb
  const char* sql;
};
const std::vector<Query> kQueries = {
    {"inizio", true, "select * from inizio where codute = 1 "},
    {"societa", true, "select * from società where codute = 1 "},
    {"automa", false, "select * from automa where codice = 1 "},
    {"utenti", false, "select * from utenti where codutente = 1 "},
    {"pv", false, "select * from pv where proprio = '1' "},
};

// Every table of the data database holds `rows` rows, the one start-up wants first or last.
jet4::Database data_database(int rows, bool wanted_first) {
  jet4::Database db;
  auto& automa = db.add_table("automa")
                     .add_column("codice", ColumnType::LongInteger)
                     .add_column("aaa", ColumnType::Text, 50);
  auto& utenti = db.add_table("utenti")
                     .add_column("codutente", ColumnType::LongInteger)
                     .add_column("nrpos", ColumnType::LongInteger)
                     .add_column("artico", ColumnType::Text, 10)
                     .add_column("chiusura", ColumnType::Text, 10)
                     .add_column("fid_rep", ColumnType::Text, 10)
                     .add_column("Flag_CF", ColumnType::Text, 5);
  auto& pv = db.add_table("pv")
                 .add_column("codice", ColumnType::LongInteger)
                 .add_column("proprio", ColumnType::Text, 1);
  for (int i = 0; i < rows; ++i) {
    bool wanted = wanted_first ? i == 0 : i == rows - 1;
    std::int64_t code = wanted ? 1 : (wanted_first ? i + 1 : i + 2);
    automa.add_row({code, std::string(wanted ? "12" : "99")});
    utenti.add_row({code, std::int64_t{wanted ? 3 : 9}, std::string(wanted ? "N" : "Z"),
                    std::string("S"), std::string("2"), std::string("S")});
    pv.add_row({std::int64_t{wanted ? 7 : 100 + i}, std::string(wanted ? "1" : "0")});
  }
  return db;
}

struct Shop {
  std::unique_ptr<testing::TempPrefix> prefix = std::make_unique<testing::TempPrefix>();
  std::vector<fs::path> sql;  // one file per query, for mdb-sql's standard input
};
std::map<std::string, Shop> g_shops;  // by "<rows>/<first|last>"

std::string key(int rows, bool first) {
  return std::to_string(rows) + (first ? "/first" : "/last");
}

bench::Command qanocheck(const Shop& shop) {
  return {{QANOCHECK_PATH},
          "/dev/null",
          shop.prefix->c(),
          {"WINEPREFIX=" + shop.prefix->prefix(), "LC_ALL=C"}};
}

bench::Command mdb_sql(const Shop& shop, std::size_t q) {
  fs::path file = shop.prefix->c() / (kQueries[q].master ? "team/super.mdb" : "super/dati.mdb");
  return {{"mdb-sql", "-H", "-F", file.string()}, shop.sql[q], {}, {}};
}

void make_shop(int rows, bool first) {
  Shop& shop = g_shops[key(rows, first)];
  testing::ShopFiles files;
  files.data = data_database(rows, first);
  files.write_into(*shop.prefix);
  for (std::size_t q = 0; q < kQueries.size(); ++q) {
    shop.sql.push_back(shop.prefix->root() / (std::string(kQueries[q].name) + ".sql"));
    std::FILE* f = std::fopen(shop.sql.back().c_str(), "w");
    std::fprintf(f, "%s\ngo\n", kQueries[q].sql);
    std::fclose(f);
  }
  // Both sides must do the work measured: a complete start-up, queries that run.
  std::string check = "cd '" + shop.prefix->c().string() + "' && WINEPREFIX='" +
                      shop.prefix->prefix() + "' LC_ALL=C " + QANOCHECK_PATH;
  std::string out;
  if (std::FILE* p = ::popen(check.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    if (::pclose(p) != 0) out.clear();
  }
  for (const char* wanted : {"automa_aaa=\"12\"", "utenti_nrpos=3", "pv_codice=7"}) {
    if (out.find(wanted) == std::string::npos) {
      std::fprintf(stderr, "qanocheck did not complete start-up on %s:\n%s\n",
                   key(rows, first).c_str(), out.c_str());
      std::exit(2);
    }
  }
  for (std::size_t q = 0; q < kQueries.size(); ++q) {
    if (bench::run(mdb_sql(shop, q)) != 0) {
      std::fprintf(stderr, "mdb-sql failed on %s\n", kQueries[q].sql);
      std::exit(2);
    }
  }
}

void timed(benchmark::State& state, const bench::Command& command) {
  for (auto _ : state) {
    if (bench::run(command) < 0) state.SkipWithError("the command did not run");
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int rows : kSizes) {
    for (bool first : {true, false}) {
      make_shop(rows, first);
      const Shop& shop = g_shops[key(rows, first)];
      auto add = [&](const std::string& name, const bench::Command& command) {
        benchmark::RegisterBenchmark(name.c_str(), timed, command)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
      };
      add("qanocheck/" + key(rows, first), qanocheck(shop));
      for (std::size_t q = 0; q < kQueries.size(); ++q) {
        add(std::string("mdb-sql ") + kQueries[q].name + "/" + key(rows, first), mdb_sql(shop, q));
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // "One mdb-sql query" is the mean of the three on the data database's tables of that size.
  bool all_met = true;
  std::printf("\n%-8s %-6s %11s %11s %11s %9s  %-24s %s\n", "rows", "wanted", "qanocheck",
              "1 mdb-sql", "5 mdb-sql", "ratio", "target", "");
  for (int rows : kSizes) {
    for (bool first : {true, false}) {
      std::string k = key(rows, first);
      double ours = reporter.seconds("qanocheck/" + k);
      double five = 0, data = 0;
      for (const Query& q : kQueries) {
        double t = reporter.seconds(std::string("mdb-sql ") + q.name + "/" + k);
        five += t;
        if (!q.master) data += t / 3;
      }
      if (ours <= 0 || five <= 0) continue;  // filtered out
      double limit = first ? (rows <= 10 ? 1.5 * data : data) : 1.5 * five;
      const char* target =
          first ? (rows <= 10 ? "<= 1.5 x one mdb-sql" : "< one mdb-sql") : "<= 1.5 x five mdb-sql";
      bool met = first && rows > 10 ? ours < limit : ours <= limit;
      all_met = all_met && met;
      double ratio = ours / (first ? data : five);
      std::printf("%-8d %-6s %11s %11s %11s %8.2fx  %-24s %s\n", rows, first ? "first" : "last",
                  bench::duration(ours).c_str(), bench::duration(data).c_str(),
                  bench::duration(five).c_str(), ratio, target, met ? "met" : "MISSED");
    }
  }
  std::printf("(ratio: qanocheck / one mdb-sql with the row first, / five with the row last)\n");
  g_shops.clear();
  return all_met ? 0 : 1;
}
