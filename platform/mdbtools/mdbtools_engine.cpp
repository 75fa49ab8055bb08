#include "platform/mdbtools/mdbtools_engine.h"

#include <fcntl.h>
#include <mdbtools.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/failure.h"
#include "platform/select_statement.h"
#include "platform/text.h"

namespace qano {

namespace {

constexpr int kCannotOpen = 3051;
constexpr int kDataTypeMismatch = 3464;
constexpr int kTooFewParameters = 3061;

[[noreturn]] void unrecognized(const std::string& file, const std::string& why = "") {
  fail(failure::kUnrecognizedFormat,
       "Unrecognized database format '" + file + "'." + (why.empty() ? "" : " (" + why + ")"));
}

// --- Reading with libmdb ---------------------------------------------------------------------

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

bool is_text_type(JetType t) {
  return t == JetType::text || t == JetType::memo;
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
  if (entry->table_pg >= pages) unrecognized(file, "table '" + name + "' lies beyond its end");
  // Every table has a map of the pages its rows lie on, kept as a row of another page. When that
  // page lies past the end, libmdb finds no row at all: the catalog would lose its tables, a
  // table its rows.
  const auto page_size = static_cast<std::size_t>(mdb->fmt->pg_size);
  const std::size_t at = mdb->fmt->tab_usage_map_offset;
  std::vector<unsigned char> definition(page_size);
  if (at + 4 > page_size ||
      ::pread(fd, definition.data(), page_size, static_cast<off_t>(entry->table_pg) * page_size) !=
          static_cast<ssize_t>(page_size)) {
    unrecognized(file, "table '" + name + "' cannot be read");
  }
  const guint32 map_page =
      (static_cast<guint32>(definition[at + 1]) | static_cast<guint32>(definition[at + 2]) << 8 |
       static_cast<guint32>(definition[at + 3]) << 16);
  if (map_page >= pages) unrecognized(file, "the page map of '" + name + "' lies beyond its end");
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
  if (!table) unrecognized(file, "table '" + name + "' cannot be read");
  if (table->usage_map == nullptr) return;
  std::optional<guint32> last = last_mapped_page(fd, table->usage_map, table->map_sz,
                                                 static_cast<guint32>(mdb->fmt->pg_size), pages);
  if (!last || *last >= pages) unrecognized(file, "rows of '" + name + "' lie beyond its end");
}

struct FileCloser {
  void operator()(const int* fd) const {
    ::close(*fd);
    delete fd;
  }
};

JetResult read_first_row(const std::string& file, const SelectStatement& st) {
  std::unique_ptr<MdbHandle, HandleCloser> mdb(mdb_open(file.c_str(), MDB_NOFLAGS));
  if (!mdb) unrecognized(file);
  // Pages are 4096 bytes in Access 2000 files, 2048 in the older Jet 3 ones.
  struct stat info {};
  const auto page_size = static_cast<off_t>(mdb->fmt->pg_size);
  if (::stat(file.c_str(), &info) != 0 || page_size <= 0) unrecognized(file);
  if (info.st_size % page_size != 0) unrecognized(file, "it ends inside a page");
  const auto pages = static_cast<guint32>(info.st_size / page_size);
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) unrecognized(file);
  std::unique_ptr<int, FileCloser> fd_guard(new int(fd));
  MdbCatalogEntry catalog{};
  catalog.mdb = mdb.get();
  catalog.object_type = MDB_TABLE;
  catalog.table_pg = 2;  // the catalog's own table, MSysObjects
  std::snprintf(catalog.object_name, sizeof catalog.object_name, "MSysObjects");
  check_table_pages(mdb.get(), fd, &catalog, pages, file);
  if (mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr) unrecognized(file, "no catalog");
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
  if (entry == nullptr) {
    fail(failure::kTableNotFound, "Cannot find the input table or query '" + st.table +
                                      "'. Make sure it exists and that its name is spelled "
                                      "correctly.");
  }
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
  if (!table) unrecognized(file, "table '" + st.table + "' cannot be read");
  if (mdb_read_columns(table.get()) == nullptr) {
    unrecognized(file, "columns of '" + st.table + "' cannot be read");
  }

  const unsigned n = table->num_cols;
  std::vector<MdbColumn*> columns(n);
  JetResult result;
  unsigned where = n;
  for (unsigned i = 0; i < n; ++i) {
    columns[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    JetType type = type_of(columns[i]->col_type);
    result.fields.push_back(JetField{columns[i]->name, JetValue::null(type)});
    if (where == n && text::equal_ignoring_case(columns[i]->name, st.column)) where = i;
  }
  if (where == n) fail(kTooFewParameters, "Too few parameters. Expected 1.");
  JetType where_type = result.fields[where].value.type();
  if (where_type != JetType::other && is_text_type(where_type) != st.literal.is_text()) {
    fail(kDataTypeMismatch, "Data type mismatch in criteria expression.");
  }

  mdb_rewind_table(table.get());
  std::vector<MdbField> fields(n > 0 ? n : 1);
  std::vector<const MdbField*> by_column(n, nullptr);
  while (mdb_fetch_row(table.get())) {
    // The row just fetched lies on the page in the handle's buffer.
    int start = 0;
    std::size_t length = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &length) != 0) {
      unrecognized(file, "a row of '" + st.table + "' cannot be found");
    }
    int cracked = mdb_crack_row(table.get(), start, length, fields.data());
    if (cracked <= 0) unrecognized(file, "a row of '" + st.table + "' cannot be read");
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

// --- Handing the outcome from the child to the parent ----------------------------------------

class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void i64(std::int64_t v) { out_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void f64(double v) { out_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void str(const std::string& s) {
    i64(static_cast<std::int64_t>(s.size()));
    out_ += s;
  }
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(const std::string& in) : in_(in) {}
  bool ok() const { return ok_; }
  std::uint8_t u8() {
    if (!need(1)) return 0;
    return static_cast<std::uint8_t>(in_[pos_++]);
  }
  std::int64_t i64() { return pod<std::int64_t>(); }
  double f64() { return pod<double>(); }
  std::string str() {
    std::int64_t size = i64();
    if (size < 0 || !need(static_cast<std::size_t>(size))) return std::string();
    std::string s = in_.substr(pos_, static_cast<std::size_t>(size));
    pos_ += static_cast<std::size_t>(size);
    return s;
  }

 private:
  template <typename T>
  T pod() {
    T v{};
    if (!need(sizeof v)) return v;
    std::memcpy(&v, in_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    return v;
  }
  bool need(std::size_t n) {
    if (in_.size() - pos_ < n) ok_ = false;
    return ok_;
  }
  const std::string& in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

enum Tag : std::uint8_t { kNull, kBool, kInteger, kReal, kText };

std::string encode(const JetResult& r) {
  Writer w;
  w.u8(0);
  w.u8(r.eof ? 1 : 0);
  w.i64(static_cast<std::int64_t>(r.fields.size()));
  for (const JetField& f : r.fields) {
    w.str(f.name);
    w.u8(static_cast<std::uint8_t>(f.value.type()));
    const JetValue& v = f.value;
    if (v.is_null()) {
      w.u8(kNull);
    } else if (v.type() == JetType::boolean) {
      w.u8(kBool);
      w.u8(v.as_bool() ? 1 : 0);
    } else if (v.is_text()) {
      w.u8(kText);
      w.str(v.as_text());
    } else if (v.type() == JetType::single || v.type() == JetType::double_precision ||
               v.type() == JetType::date_time) {
      w.u8(kReal);
      w.f64(v.as_real());
    } else {
      w.u8(kInteger);
      w.i64(v.as_integer());
    }
  }
  return w.bytes();
}

std::string encode(const Failure& f) {
  Writer w;
  w.u8(1);
  w.i64(f.number());
  w.str(f.text());
  return w.bytes();
}

JetResult decode(const std::string& bytes, const std::string& file) {
  Reader r(bytes);
  if (r.u8() == 1) {
    int number = static_cast<int>(r.i64());
    std::string message = r.str();
    if (r.ok()) throw Failure(number, message);
    unrecognized(file);
  }
  JetResult result;
  result.eof = r.u8() == 1;
  std::int64_t count = r.i64();
  for (std::int64_t i = 0; r.ok() && i < count; ++i) {
    JetField f;
    f.name = r.str();
    auto type = static_cast<JetType>(r.u8());
    switch (r.u8()) {
      case kBool:
        f.value = JetValue::boolean(r.u8() == 1);
        break;
      case kText:
        f.value = JetValue::text(r.str(), type);
        break;
      case kReal:
        f.value = JetValue::real(type, r.f64());
        break;
      case kInteger:
        f.value = JetValue::integer(type, r.i64());
        break;
      default:
        f.value = JetValue::null(type);
        break;
    }
    result.fields.push_back(std::move(f));
  }
  if (!r.ok()) unrecognized(file);
  return result;
}

// --- The reader process ------------------------------------------------------------------
//
// Starting a process costs more than reading a shop's small database, and start-up runs its
// queries one right after the other: so one reader process serves a run of queries and ends by
// itself once none has come for kReaderIdle, or when the engine goes. It is started through an
// intermediate process that ends at once, so that nobody has to wait for the reader: whoever
// adopts it reaps it, and the program keeps no ended child behind.
//
// Messages on the socket between the two are a length (8 bytes) and that many bytes: a request
// is the file and the SQL text, an answer is encode()'s bytes. A reader that had to give a
// failure ends after answering, so a damaged file never reaches the next query's reading. A
// reader that ends for being idle says so first (a length of -1): a request that crossed that
// word on its way is then sent to a fresh reader.

constexpr std::int64_t kIdleWord = -1;

bool send_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string framed(const std::string& body) {
  Writer w;
  w.str(body);
  return w.bytes();
}

enum class Got { all, closed, late };

// Reads exactly `size` bytes into `bytes`, waiting until `deadline` at most.
Got receive(int fd, std::size_t size, std::string& bytes,
            std::chrono::steady_clock::time_point deadline) {
  bytes.clear();
  char buffer[65536];
  while (bytes.size() < size) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Got::late;
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Got::closed;
    if (r == 0) return Got::late;
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, size - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Got::closed;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return Got::all;
}

// Reads one message in the reader, blocking; false at the end of the socket.
bool receive_blocking(int fd, std::string& body) {
  auto forever = std::chrono::steady_clock::now() + std::chrono::hours(24 * 365);
  std::string length;
  if (receive(fd, sizeof(std::int64_t), length, forever) != Got::all) return false;
  std::int64_t size = 0;
  std::memcpy(&size, length.data(), sizeof size);
  if (size < 0 || size > (1 << 20)) return false;
  return receive(fd, static_cast<std::size_t>(size), body, forever) == Got::all;
}

// Answers requests until the socket closes, or until none has come for `idle_ms` after the
// first (which the engine sends at once).
[[noreturn]] void serve(int fd, int idle_ms) {
  // libmdb's own complaints about a damaged file are replaced by the failure's text; and the
  // program's standard streams (a terminal, a pipe someone reads to its end) are not held open.
  int null = ::open("/dev/null", O_RDWR);
  for (int stream = 0; null >= 0 && stream <= 2; ++stream) ::dup2(null, stream);
  if (null > 3) ::close(null);
  for (bool first = true;; first = false) {
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, first ? -1 : idle_ms);
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) {  // idle: the run of queries is over
      std::int64_t word = kIdleWord;
      send_all(fd, std::string(reinterpret_cast<const char*>(&word), sizeof word));
      ::_exit(0);
    }
    if (r < 0) ::_exit(0);
    std::string request;
    if (!receive_blocking(fd, request)) ::_exit(0);  // the engine has gone
    Reader in(request);
    std::string file = in.str();
    std::string sql = in.str();
    if (!in.ok()) ::_exit(1);
    std::string out;
    bool failed = false;
    try {
      out = encode(read_first_row(file, parse_select(sql)));
    } catch (const Failure& f) {
      out = encode(f);
      failed = true;
    } catch (...) {
      ::_exit(1);
    }
    if (!send_all(fd, framed(out)) || failed) ::_exit(0);
  }
}

// --- The engine ------------------------------------------------------------------------------

class MdbtoolsEngine : public JetEngine {
 public:
  explicit MdbtoolsEngine(MdbtoolsOptions options) : options_(options) {}
  ~MdbtoolsEngine() override { stop_reader(); }
  MdbtoolsEngine(const MdbtoolsEngine&) = delete;
  MdbtoolsEngine& operator=(const MdbtoolsEngine&) = delete;

  JetResult first_row(const std::string& file, const std::string& sql) override {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
      if (errno == EACCES) cannot_open(file);
      fail(failure::kCouldNotFindFile, "Could not find file '" + file + "'.");
    }
    if (!S_ISREG(st.st_mode)) unrecognized(file, "not a file");
    if (::access(file.c_str(), R_OK) != 0) cannot_open(file);
    SelectStatement statement = parse_select(sql);
    if (!options_.isolate) return read_first_row(file, statement);
    return in_reader(file, sql);
  }

 private:
  [[noreturn]] static void cannot_open(const std::string& file) {
    fail(kCannotOpen, "Cannot open the file '" + file + "': permission denied.");
  }

  JetResult in_reader(const std::string& file, const std::string& sql) {
    auto deadline = std::chrono::steady_clock::now() + options_.time_limit;
    Writer request;
    request.str(file);
    request.str(sql);
    // A reader kept from earlier queries may have ended for being idle just as this request went
    // out: then it never read the request, and a fresh one is asked, which stays for its first.
    for (int attempt = 1;; ++attempt) {
      if (socket_ < 0) start_reader();
      std::string length, answer;
      std::int64_t size = 0;
      bool sent = send_all(socket_, framed(request.bytes()));
      Got got = receive(socket_, sizeof size, length, deadline);
      if (got == Got::all) std::memcpy(&size, length.data(), sizeof size);
      if ((got == Got::all && size == kIdleWord) || (!sent && got == Got::closed)) {
        stop_reader();
        if (attempt < 3) continue;
        fail(failure::kSqlError, "Cannot start the database reader.");
      }
      if (got == Got::all) {
        got = size < 0 ? Got::closed
                       : receive(socket_, static_cast<std::size_t>(size), answer, deadline);
      }
      if (got == Got::late) {
        // The reader still runs (its end of the socket is open): it is stopped for good.
        ::kill(reader_, SIGKILL);
        stop_reader();
        unrecognized(file, "reading it did not end");
      }
      if (got == Got::closed) {
        stop_reader();
        unrecognized(file, "the reader stopped on damaged data, or after " +
                               std::to_string(options_.cpu_limit.count()) + " s of processor time");
      }
      if (!answer.empty() && answer[0] != 0) stop_reader();  // a failure ends the reader
      return decode(answer, file);
    }
  }

  // Out of descriptors or processes is the machine's trouble, not the file's.
  [[noreturn]] static void cannot_start(int error) {
    if (error == EMFILE || error == ENFILE) {
      fail(failure::kTooManyFiles, "Too many files: cannot start the database reader.");
    }
    if (error == EAGAIN || error == ENOMEM) {
      fail(failure::kOutOfMemory, "Out of memory: cannot start the database reader.");
    }
    fail(failure::kSqlError, "Cannot start the database reader.");
  }

  void start_reader() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) cannot_start(errno);
    pid_t middle = ::fork();
    if (middle < 0) {
      int error = errno;
      ::close(fds[0]);
      ::close(fds[1]);
      cannot_start(error);
    }
    if (middle == 0) {
      ::close(fds[0]);
      pid_t reader = ::fork();
      if (reader == 0) {
        // Nothing else of the program's (its files, its display, its signal handlers) stays with
        // the reader.
        for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGPIPE, SIGCHLD, SIGXCPU}) {
          ::signal(sig, SIG_DFL);
        }
        // A reader that spins on a damaged file is stopped by the system once it has burnt its
        // processor time, and leaves no core behind.
        auto cpu = static_cast<rlim_t>(options_.cpu_limit.count());
        rlimit limit{cpu, cpu + 1};
        ::setrlimit(RLIMIT_CPU, &limit);
        rlimit no_core{0, 0};
        ::setrlimit(RLIMIT_CORE, &no_core);
        ::dup2(fds[1], 3);
        ::close_range(4, ~0U, 0);
        serve(3, static_cast<int>(options_.reader_idle.count()));
      }
      int fork_error = reader < 0 ? errno : 0;
      std::int64_t id = reader;
      [[maybe_unused]] ssize_t ignored = ::write(fds[1], &id, sizeof id);
      ::_exit(reader < 0 ? (fork_error == EAGAIN || fork_error == ENOMEM ? 2 : 1) : 0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    std::int64_t id = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
      ::close(fds[0]);
      cannot_start(EAGAIN);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        ::read(fds[0], &id, sizeof id) != static_cast<ssize_t>(sizeof id) || id <= 0) {
      ::close(fds[0]);
      fail(failure::kSqlError, "Cannot start the database reader.");
    }
    socket_ = fds[0];
    reader_ = static_cast<pid_t>(id);
  }

  // The reader ends when its socket closes; its adoptive parent reaps it.
  void stop_reader() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    reader_ = -1;
  }

  MdbtoolsOptions options_;
  int socket_ = -1;
  pid_t reader_ = -1;
};

}  // namespace

std::unique_ptr<JetEngine> make_mdbtools_engine(MdbtoolsOptions options) {
  return std::make_unique<MdbtoolsEngine>(options);
}

}  // namespace qano
