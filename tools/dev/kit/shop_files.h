// A shop's databases as start-up finds them on disk: the master database C:\team\super.mdb and
// the data database C:\super\dati.mdb, written by the project's Jet 4 writer into a temporary
// prefix, with the log folder C:\super\bkp. Each test changes what it needs first.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tools/dev/jet4/jet4_writer.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano::testing {

// società (codute Long, database Text(255)) with the company row 1 naming `database` among
// others, and inizio (codute Long, descrizione Text) with the row of code 1.
jet4::Database master_database(const std::string& database = "C:\\super\\dati.mdb");

// automa (codice Long, aaa Text): "12" for code 1; utenti (codutente Long, nrpos Long, artico,
// chiusura, fid_rep and Flag_CF Text): 3, "N", "S", "2", "S" for code 1; pv (codice Long,
// proprio Text(1)): codes 4, 7 and 9 with proprio "0", "1", "1". Every table has other rows
// before and after the one read.
jet4::Database data_database();

// The table of that name; a test mistake when there is none.
jet4::Table& table_of(jet4::Database& db, const std::string& name);

// Makes `column` of `table` one of `type` (Text of `size`) that holds `value` in the row whose
// first column is 1 and Null in every other row.
void set_column(jet4::Table& table, const std::string& column, jet4::ColumnType type, int size,
                const jet4::Value& value);

// Keeps only the rows whose first column is not 1.
void drop_code_1(jet4::Table& table);

struct ShopFiles {
  std::optional<jet4::Database> master = master_database();
  std::optional<jet4::Database> data = data_database();
  // Where the files go, under the prefix's root.
  std::filesystem::path master_file = "drive_c/team/super.mdb";
  std::filesystem::path data_file = "drive_c/super/dati.mdb";
  bool log_folder = true;  // drive_c/super/bkp

  void write_into(const TempPrefix& prefix) const;
};

}  // namespace qano::testing
