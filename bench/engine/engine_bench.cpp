// The program's Jet engine against mdbtools' own commands, each run as a whole process on one
// 100,000-row table written by the project's Jet 4 writer:
//   jetquery with the wanted row first / last, mdb-sql with the same queries, mdb-export of the
//   whole table. Prints Google Benchmark's table and then the ratios with their targets.
// Usage: engine_bench [JETQUERY] [--benchmark_...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/dev/jet4/jet4_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 100000;
std::string g_jetquery = "jetquery";
fs::path g_database;
fs::path g_first_sql, g_last_sql;  // mdb-sql reads its query from standard input

const std::string kFirst = "select * from utenti where codutente = 1 ";
const std::string kLast = "select * from utenti where codutente = " + std::to_string(kRows) + " ";

// Runs a command with stdin from `input` (or /dev/null) and stdout/stderr to /dev/null.
void run(std::vector<std::string> args, const fs::path& input = "/dev/null") {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(2);
  }
}

void jetquery_first(benchmark::State& s) {
  for (auto _ : s) run({g_jetquery, g_database.string(), kFirst});
}
void jetquery_last(benchmark::State& s) {
  for (auto _ : s) run({g_jetquery, g_database.string(), kLast});
}
void mdb_sql_first(benchmark::State& s) {
  for (auto _ : s) run({"mdb-sql", "-H", "-F", g_database.string()}, g_first_sql);
}
void mdb_sql_last(benchmark::State& s) {
  for (auto _ : s) run({"mdb-sql", "-H", "-F", g_database.string()}, g_last_sql);
}
void mdb_export_all(benchmark::State& s) {
  for (auto _ : s) run({"mdb-export", g_database.string(), "utenti"});
}

class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median") {
        seconds[r.run_name.function_name] = r.GetAdjustedRealTime() / 1e9 *
                                            benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9 /
                                            1e9;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] != '-') {
    g_jetquery = argv[1];
    --argc;
    ++argv;
  }
  fs::path dir = fs::temp_directory_path() / ("qano-engine-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  g_database = dir / "dati.mdb";
  {
    qano::jet4::Database db;
    auto& t = db.add_table("utenti");
    t.add_column("codutente", qano::jet4::ColumnType::LongInteger)
        .add_column("nrpos", qano::jet4::ColumnType::LongInteger)
        .add_column("artico", qano::jet4::ColumnType::Text, 10)
        .add_column("chiusura", qano::jet4::ColumnType::Text, 10)
        .add_column("fid_rep", qano::jet4::ColumnType::Text, 10)
        .add_column("Flag_CF", qano::jet4::ColumnType::Text, 1);
    for (std::int64_t i = 1; i <= kRows; ++i) {
      t.add_row(
          {i, i % 10, std::string("A"), std::string("S"), std::string("3.5"), std::string("S")});
    }
    qano::jet4::write_database(db, g_database);
  }
  g_first_sql = dir / "first.sql";
  g_last_sql = dir / "last.sql";
  std::FILE* f = std::fopen(g_first_sql.c_str(), "w");
  std::fprintf(f, "%s\ngo\n", kFirst.c_str());
  std::fclose(f);
  f = std::fopen(g_last_sql.c_str(), "w");
  std::fprintf(f, "%s\ngo\n", kLast.c_str());
  std::fclose(f);

  for (auto [name, fn] : std::vector<std::pair<const char*, void (*)(benchmark::State&)>>{
           {"jetquery_first", jetquery_first},
           {"jetquery_last", jetquery_last},
           {"mdb_sql_first", mdb_sql_first},
           {"mdb_sql_last", mdb_sql_last},
           {"mdb_export_all", mdb_export_all}}) {
    benchmark::RegisterBenchmark(name, fn)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  fs::remove_all(dir);

  auto& t = collector.seconds;
  double first_ratio = t["mdb_sql_first"] / t["jetquery_first"];
  double last_ratio = t["mdb_export_all"] / t["jetquery_last"];
  std::printf("\n%-52s %10s %8s\n", "comparison (100,000 rows, whole processes)", "ratio",
              "target");
  std::printf("%-52s %9.1fx %8s %s\n", "mdb-sql / jetquery, wanted row first", first_ratio,
              ">= 20x", first_ratio >= 20 ? "met" : "MISSED");
  std::printf("%-52s %9.1fx %8s %s\n", "mdb-export of the table / jetquery, row last", last_ratio,
              ">= 1x", last_ratio >= 1 ? "met" : "MISSED");
  std::printf("%-52s %9.1fx\n", "mdb-sql / jetquery, wanted row last",
              t["mdb_sql_last"] / t["jetquery_last"]);
  return first_ratio >= 20 && last_ratio >= 1 ? 0 : 1;
}
