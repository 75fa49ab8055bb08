// Reads a table back through libmdb's C API: values as mdbtools formats them,
// plus what its command-line tools do not show (the null flag of each field,
// the stored bytes, the shape of the table's definition and usage map).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qano::jet4::testing {

struct StoredField {
  bool is_null = true;
  std::string text;                 // as bound by libmdb ("" when Null)
  std::vector<std::uint8_t> bytes;  // the field's bytes in the row
};

struct StoredTable {
  std::vector<std::string> columns;
  std::vector<std::vector<StoredField>> rows;
  unsigned rows_in_definition = 0;
  int usage_map_type = -1;   // 0 inline bitmap, 1 list of map pages
  int definition_pages = 0;  // pages chained from the table's definition page
};

// Throws std::runtime_error when the file or table cannot be opened.
StoredTable read_stored_table(const std::filesystem::path& file, const std::string& table);

}  // namespace qano::jet4::testing
