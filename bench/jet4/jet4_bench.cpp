// Times write_database() for tables of typical shape (numbers, short texts,
// a date, a short memo, some Nulls). Prints one line per size:
//   rows=200000 build_ms=... write_ms=... pages=... bytes=...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet4_writer.h"

namespace {

using qano::jet4::ColumnType;
using qano::jet4::Currency;
using qano::jet4::Database;
using qano::jet4::DateTime;
using qano::jet4::Value;

Database make(std::int64_t rows) {
  Database db;
  auto& t = db.add_table("movimenti");
  t.add_column("id", ColumnType::LongInteger)
      .add_column("cliente", ColumnType::Text, 40)
      .add_column("importo", ColumnType::Currency)
      .add_column("quantita", ColumnType::Double)
      .add_column("quando", ColumnType::DateTime)
      .add_column("chiuso", ColumnType::Boolean)
      .add_column("nota", ColumnType::Memo);
  t.rows.reserve(static_cast<std::size_t>(rows));
  for (std::int64_t i = 0; i < rows; ++i) {
    t.add_row({i, "Cliente è n. " + std::to_string(i % 5000), Currency{i * 99},
               static_cast<double>(i) / 4,
               DateTime{2024, 1 + int(i % 12), 1 + int(i % 28), 12, 0, 0}, i % 2 == 0,
               i % 3 == 0 ? Value{qano::jet4::null} : Value{std::string("nota breve")}});
  }
  return db;
}

double ms_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  const auto path = std::filesystem::temp_directory_path() / "qano-jet4-bench.mdb";
  for (int i = 1; i < argc || i == 1; ++i) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[i]) : 200000;
    auto start = std::chrono::steady_clock::now();
    const Database db = make(rows);
    const double build_ms = ms_since(start);
    start = std::chrono::steady_clock::now();
    qano::jet4::write_database(db, path);
    const double write_ms = ms_since(start);
    const auto bytes = std::filesystem::file_size(path);
    std::printf("rows=%lld build_ms=%.1f write_ms=%.1f pages=%llu bytes=%llu\n",
                static_cast<long long>(rows), build_ms, write_ms,
                static_cast<unsigned long long>(bytes / 4096),
                static_cast<unsigned long long>(bytes));
  }
  std::filesystem::remove(path);
  return 0;
}
