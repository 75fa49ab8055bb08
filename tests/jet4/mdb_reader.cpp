#include "mdb_reader.h"

#include <mdbtools.h>

#include <memory>
#include <stdexcept>

namespace qano::jet4::testing {

StoredTable read_stored_table(const std::filesystem::path& file, const std::string& table_name) {
  std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(file.c_str(), MDB_NOFLAGS),
                                                       mdb_close);
  if (!mdb) throw std::runtime_error("libmdb cannot open " + file.string());
  constexpr std::size_t kBindSize = 1 << 18;
  mdb_set_bind_size(mdb.get(), kBindSize);
  mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(
      mdb_read_table_by_name(mdb.get(), const_cast<gchar*>(table_name.c_str()), MDB_TABLE),
      mdb_free_tabledef);
  if (!table) throw std::runtime_error("libmdb finds no table " + table_name);
  mdb_read_columns(table.get());

  StoredTable result;
  result.rows_in_definition = table->num_rows;
  result.usage_map_type = table->map_sz > 0 ? table->usage_map[0] : -1;
  for (unsigned long page = table->entry->table_pg; page != 0 && result.definition_pages < 100;
       page = static_cast<unsigned long>(mdb_get_int32(mdb->pg_buf, 4))) {
    if (mdb_read_pg(mdb.get(), page) <= 0 || mdb->pg_buf[0] != 0x02) break;
    ++result.definition_pages;
  }

  const unsigned num_cols = table->num_cols;
  std::vector<std::vector<char>> bound(num_cols, std::vector<char>(kBindSize));
  std::vector<int> lengths(num_cols);
  for (unsigned i = 0; i < num_cols; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    result.columns.emplace_back(col->name);
    mdb_bind_column(table.get(), static_cast<int>(i + 1), bound[i].data(), &lengths[i]);
  }
  mdb_rewind_table(table.get());
  std::vector<MdbField> fields(MDB_MAX_COLS);
  while (mdb_fetch_row(table.get())) {
    int start = 0;
    size_t length = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &length) != 0) {
      throw std::runtime_error("libmdb cannot find the row it just read");
    }
    mdb_crack_row(table.get(), start & 0x1FFF, length, fields.data());
    std::vector<StoredField> row(num_cols);
    for (unsigned i = 0; i < num_cols; ++i) {
      row[i].is_null = fields[i].is_null != 0;
      row[i].text.assign(bound[i].data(), static_cast<std::size_t>(lengths[i]));
      if (fields[i].value && fields[i].siz > 0) {
        const auto* p = static_cast<const std::uint8_t*>(fields[i].value);
        row[i].bytes.assign(p, p + fields[i].siz);
      }
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace qano::jet4::testing
