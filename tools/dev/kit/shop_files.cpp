#include "tools/dev/kit/shop_files.h"

#include <stdexcept>

namespace qano::testing {

namespace fs = std::filesystem;
using jet4::ColumnType;

namespace {
jet4::Value code(std::int64_t n) {
  return n;
}
jet4::Value text(const char* s) {
  return std::string(s);
}
}  // namespace

jet4::Database master_database(const std::string& database) {
  jet4::Database db;
  jet4::Table& societa = db.add_table("società");
  societa.add_column("codute", ColumnType::LongInteger)
      .add_column("database", ColumnType::Text, 255)
      .add_row({code(2), text("D:\\altro\\dati.mdb")})
      .add_row({jet4::null, text("E:\\senza\\codice\\dati.mdb")})
      .add_row({code(1), database})
      .add_row({code(3), text("F:\\terzo\\dati.mdb")});
  jet4::Table& inizio = db.add_table("inizio");
  inizio.add_column("codute", ColumnType::LongInteger)
      .add_column("descrizione", ColumnType::Text, 50)
      .add_row({code(2), text("altra")})
      .add_row({code(1), text("negozio")});
  return db;
}

jet4::Database data_database() {
  jet4::Database db;
  db.add_table("automa")
      .add_column("codice", ColumnType::LongInteger)
      .add_column("aaa", ColumnType::Text, 50)
      .add_row({code(2), text("99")})
      .add_row({code(1), text("12")});
  db.add_table("utenti")
      .add_column("codutente", ColumnType::LongInteger)
      .add_column("nrpos", ColumnType::LongInteger)
      .add_column("artico", ColumnType::Text, 10)
      .add_column("chiusura", ColumnType::Text, 10)
      .add_column("fid_rep", ColumnType::Text, 10)
      .add_column("Flag_CF", ColumnType::Text, 5)
      .add_row({code(2), code(9), text("Z"), text("Z"), text("9"), text("S")})
      .add_row({code(1), code(3), text("N"), text("S"), text("2"), text("S")})
      .add_row({code(3), code(8), text("Y"), text("Y"), text("8"), text("N")});
  db.add_table("pv")
      .add_column("codice", ColumnType::LongInteger)
      .add_column("proprio", ColumnType::Text, 1)
      .add_row({code(4), text("0")})
      .add_row({code(5), jet4::null})
      .add_row({code(7), text("1")})
      .add_row({code(9), text("1")});
  return db;
}

jet4::Table& table_of(jet4::Database& db, const std::string& name) {
  for (jet4::Table& t : db.tables) {
    if (t.name == name) return t;
  }
  throw std::logic_error("no table " + name);
}

void set_column(jet4::Table& table, const std::string& column, ColumnType type, int size,
                const jet4::Value& value) {
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    if (table.columns[c].name != column) continue;
    table.columns[c].type = type;
    table.columns[c].size = type == ColumnType::Text ? size : 0;
    for (auto& row : table.rows) {
      row[c] = row[0] == jet4::Value(code(1)) ? value : jet4::Value(jet4::null);
    }
    return;
  }
  throw std::logic_error("no column " + column + " in " + table.name);
}

void drop_code_1(jet4::Table& table) {
  std::erase_if(table.rows, [](const auto& row) { return row[0] == jet4::Value(code(1)); });
}

void ShopFiles::write_into(const TempPrefix& prefix) const {
  if (log_folder) fs::create_directories(prefix.root() / "drive_c/super/bkp");
  for (const auto& [db, file] : {std::pair{&master, &master_file}, std::pair{&data, &data_file}}) {
    if (!*db) continue;
    fs::create_directories((prefix.root() / *file).parent_path());
    jet4::write_database(**db, prefix.root() / *file);
  }
}

}  // namespace qano::testing
