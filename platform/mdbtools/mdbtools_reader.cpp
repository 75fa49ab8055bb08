#include "platform/mdbtools/mdbtools_reader.h"

#include <fcntl.h>
#include <mdbtools.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/jet/jet_contract.h"
#include "platform/system/posix_syscalls.h"
#include "platform/text.h"

namespace qano {

namespace {

using jet_contract::unrecognized;

struct HandleCloser {
  void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
  void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

JetType type_of(int col_type) {
  switch (col_type) {
    case MDB_BOOL:
      return JetType::boolean;
    case MDB_BYTE:
      return JetType::byte;
    case MDB_INT:
      return JetType::integer;
    case MDB_LONGINT:
      return JetType::long_integer;
    case MDB_MONEY:
      return JetType::currency;
    case MDB_FLOAT:
      return JetType::single;
    case MDB_DOUBLE:
      return JetType::double_precision;
    case MDB_DATETIME:
      return JetType::date_time;
    case MDB_TEXT:
      return JetType::text;
    case MDB_MEMO:
      return JetType::memo;
    default:
      return JetType::other;
  }
}

template <typename T>
T little_endian(const MdbField& f) {
  T v{};
  if (f.value != nullptr && static_cast<std::size_t>(f.siz) >= sizeof v) {
    std::memcpy(&v, f.value, sizeof v);  // Jet and x86 are both little-endian
  }
  return v;
}

std::string column_text(MdbHandle* mdb, const MdbField& f, int col_type) {
  // libmdb cuts a text at its bind size (16 KiB); a Memo can be far longer. Its first four bytes
  // hold its stored length (flags in the top two bits), and each stored byte gives at most three
  // bytes of UTF-8, so the bind size is raised to fit the whole text.
  bool long_text = col_type == MDB_MEMO && f.siz >= 4;
  if (long_text) {
    std::size_t stored = static_cast<std::size_t>(little_endian<std::uint32_t>(f) & 0x3FFFFFFFu);
    mdb_set_bind_size(mdb, std::max<std::size_t>(MDB_BIND_SIZE, stored * 3 + 16));
  }
  char* s = mdb_col_to_string(mdb, mdb->pg_buf, f.start, col_type, f.siz);
  if (long_text) mdb_set_bind_size(mdb, MDB_BIND_SIZE);
  if (s == nullptr) return std::string();
  std::string result(s);
  g_free(s);
  return result;
}

JetValue value_of(MdbHandle* mdb, const MdbColumn* col, const MdbField& f) {
  JetType type = type_of(col->col_type);
  // A Boolean has no data of its own: its bit in the row's null mask is its value.
  if (col->col_type == MDB_BOOL) return JetValue::boolean(!f.is_null);
  if (f.is_null) return JetValue::null(type);
  switch (col->col_type) {
    case MDB_BYTE:
      return JetValue::integer(type, little_endian<std::uint8_t>(f));
    case MDB_INT:
      return JetValue::integer(type, little_endian<std::int16_t>(f));
    case MDB_LONGINT:
      return JetValue::integer(type, little_endian<std::int32_t>(f));
    case MDB_MONEY:
      return JetValue::currency(little_endian<std::int64_t>(f));
    case MDB_FLOAT:
      return JetValue::real(type, little_endian<float>(f));
    case MDB_DOUBLE:
      return JetValue::real(type, little_endian<double>(f));
    case MDB_DATETIME:
      return JetValue::date_time(little_endian<double>(f));
    case MDB_TEXT:
    case MDB_MEMO:
      return JetValue::text(column_text(mdb, f, col->col_type), type);
    case MDB_NUMERIC:
    case MDB_REPID:
      return JetValue::text(column_text(mdb, f, col->col_type), JetType::other);
    default:
      return JetValue::text(std::string(), JetType::other);
  }
}

// The highest page a usage map names (0 for none), or nothing when the map itself is damaged.
// An inline map (type 0) is a start page and a bitmap; a long one (type 1) lists map pages,
// each a bitmap of (page size - 4) * 8 pages, read here straight from the file: walking it page
// by page through libmdb would read one map page for every page of the table.
std::optional<guint32> last_mapped_page(int fd, const unsigned char* map, std::size_t size,
                                        guint32 page_size, guint32 pages) {
  auto highest_bit = [](const unsigned char* bits, std::size_t length) -> std::optional<guint32> {
    for (std::size_t i = length; i-- > 0;) {
      if (bits[i] != 0) return static_cast<guint32>(i * 8 + 7 - __builtin_clz(bits[i]) + 24);
    }
    return std::nullopt;
  };
  auto le32 = [](const unsigned char* p) {
    return static_cast<guint32>(p[0]) | static_cast<guint32>(p[1]) << 8 |
           static_cast<guint32>(p[2]) << 16 | static_cast<guint32>(p[3]) << 24;
  };
  if (size < 5) return std::nullopt;
  if (map[0] == 0) {
    std::optional<guint32> bit = highest_bit(map + 5, size - 5);
    return bit ? le32(map + 1) + *bit : 0;
  }
  if (map[0] != 1) return std::nullopt;
  guint32 last = 0;
  std::vector<unsigned char> page(page_size);
  const guint32 per_page = (page_size - 4) * 8;
  for (std::size_t i = 0; 1 + 4 * i + 4 <= size; ++i) {
    guint32 map_page = le32(map + 1 + 4 * i);
    if (map_page == 0) continue;
    if (map_page >= pages) return std::nullopt;
    if (::pread(fd, page.data(), page_size, static_cast<off_t>(map_page) * page_size) !=
            static_cast<ssize_t>(page_size) ||
        page[0] != 0x05) {
      return std::nullopt;
    }
    if (std::optional<guint32> bit = highest_bit(page.data() + 4, page_size - 4)) {
      last = std::max(last, static_cast<guint32>(i) * per_page + *bit);
    }
  }
  return last;
}

// A table whose definition or rows lie on pages the file does not have is damaged: libmdb would
// skip the missing pages and answer "no row" where the row may well have been.
void check_table_pages(MdbHandle* mdb, int fd, MdbCatalogEntry* entry, guint32 pages,
                       const std::string& file) {
  std::string name = entry->object_name;
  if (entry->table_pg >= pages)
    throw unrecognized(file, "table '" + name + "' lies beyond its end");
  // Every table has a map of the pages its rows lie on, kept as a row of another page. When that
  // page lies past the end, libmdb finds no row at all: the catalog would lose its tables, a
  // table its rows.
  const auto page_size = static_cast<std::size_t>(mdb->fmt->pg_size);
  const std::size_t at = mdb->fmt->tab_usage_map_offset;
  std::vector<unsigned char> definition(page_size);
  if (at + 4 > page_size ||
      ::pread(fd, definition.data(), page_size, static_cast<off_t>(entry->table_pg) * page_size) !=
          static_cast<ssize_t>(page_size)) {
    throw unrecognized(file, "table '" + name + "' cannot be read");
  }
  const guint32 map_page =
      (static_cast<guint32>(definition[at + 1]) | static_cast<guint32>(definition[at + 2]) << 8 |
       static_cast<guint32>(definition[at + 3]) << 16);
  if (map_page >= pages)
    throw unrecognized(file, "the page map of '" + name + "' lies beyond its end");
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
  if (!table) throw unrecognized(file, "table '" + name + "' cannot be read");
  if (table->usage_map == nullptr) return;
  std::optional<guint32> last = last_mapped_page(fd, table->usage_map, table->map_sz,
                                                 static_cast<guint32>(mdb->fmt->pg_size), pages);
  if (!last || *last >= pages)
    throw unrecognized(file, "rows of '" + name + "' lie beyond its end");
}

struct FileCloser {
  void operator()(const int* fd) const {
    posix::sys().close(*fd);
    delete fd;
  }
};

// Why the file could not be opened: a machine out of descriptors or memory, or else a file that
// libmdb does not take.
Failure refused(int error, const std::string& file) {
  return posix::resource_failure(error, "cannot read '" + file + "'").value_or(unrecognized(file));
}

}  // namespace

JetResult read_first_row(const std::string& file, const SelectStatement& st) {
  // The reader's own look at the file comes first, through the system calls that tests can make
  // fail: a machine out of descriptors or memory is no fault of the file's.
  int fd = posix::sys().open(file.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) throw refused(errno, file);
  std::unique_ptr<int, FileCloser> fd_guard(new int(fd));
  struct stat info {};
  if (posix::sys().fstat(fd, &info) != 0) throw refused(errno, file);
  errno = 0;
  std::unique_ptr<MdbHandle, HandleCloser> mdb(mdb_open(file.c_str(), MDB_NOFLAGS));
  if (!mdb) throw refused(errno, file);
  // Pages are 4096 bytes in Access 2000 files, 2048 in the older Jet 3 ones.
  const auto page_size = static_cast<off_t>(mdb->fmt->pg_size);
  if (page_size <= 0) throw unrecognized(file);
  if (info.st_size % page_size != 0) throw unrecognized(file, "it ends inside a page");
  const auto pages = static_cast<guint32>(info.st_size / page_size);
  MdbCatalogEntry catalog{};
  catalog.mdb = mdb.get();
  catalog.object_type = MDB_TABLE;
  catalog.table_pg = 2;  // the catalog's own table, MSysObjects
  std::snprintf(catalog.object_name, sizeof catalog.object_name, "MSysObjects");
  check_table_pages(mdb.get(), fd, &catalog, pages, file);
  if (mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr) throw unrecognized(file, "no catalog");
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE) check_table_pages(mdb.get(), fd, e, pages, file);
  }

  MdbCatalogEntry* entry = nullptr;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE && text::equal_ignoring_case(e->object_name, st.table)) {
      entry = e;
      break;
    }
  }
  if (entry == nullptr) throw jet_contract::table_not_found(st.table);
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
  if (!table) throw unrecognized(file, "table '" + st.table + "' cannot be read");
  if (mdb_read_columns(table.get()) == nullptr) {
    throw unrecognized(file, "columns of '" + st.table + "' cannot be read");
  }

  const unsigned n = table->num_cols;
  std::vector<MdbColumn*> columns(n);
  JetResult result;
  for (unsigned i = 0; i < n; ++i) {
    columns[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    JetType type = type_of(columns[i]->col_type);
    result.fields.push_back(JetField{columns[i]->name, JetValue::null(type)});
  }
  const auto where = static_cast<unsigned>(jet_contract::criteria_column(result.fields, st));

  mdb_rewind_table(table.get());
  std::vector<MdbField> fields(n > 0 ? n : 1);
  std::vector<const MdbField*> by_column(n, nullptr);
  while (mdb_fetch_row(table.get())) {
    // The row just fetched lies on the page in the handle's buffer.
    int start = 0;
    std::size_t length = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &length) != 0) {
      throw unrecognized(file, "a row of '" + st.table + "' cannot be found");
    }
    int cracked = mdb_crack_row(table.get(), start, length, fields.data());
    if (cracked <= 0) throw unrecognized(file, "a row of '" + st.table + "' cannot be read");
    std::fill(by_column.begin(), by_column.end(), nullptr);
    for (int i = 0; i < cracked && static_cast<unsigned>(i) < n; ++i) {
      unsigned c = static_cast<unsigned>(fields[i].colnum);
      if (c < n) by_column[c] = &fields[i];
    }
    if (by_column[where] == nullptr) continue;
    if (!criteria_match(value_of(mdb.get(), columns[where], *by_column[where]), st.literal)) {
      continue;
    }
    for (unsigned c = 0; c < n; ++c) {
      if (by_column[c] != nullptr) {
        result.fields[c].value = value_of(mdb.get(), columns[c], *by_column[c]);
      }
    }
    result.eof = false;
    break;
  }
  return result;
}

}  // namespace qano
