// Lays out a database file page by page:
//   page 0   header: version, code page, sort order
//   page 1   map of pages free for reuse (none)
//   page 2   MSysObjects definition, followed by each table's definition
//            pages (several when it does not fit one page)
//   then     pages holding the usage-map rows of every table and every
//            long-value column
//   then     the catalog rows, and for each table its data pages with its
//            long-value pages in between, then its usage map pages when the
//            table spans too many pages for a map kept inline
// Pages whose content depends on later ones (definitions hold row counts and
// map pointers) are reserved first and written last; data pages are written
// as soon as they are full, so memory use does not grow with the table.
#include "jet4_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <utility>

#include "text.h"

namespace qano::jet4 {

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr std::uint32_t kMaxPages = 524288;   // a Jet 4 file holds at most 2 GB
constexpr std::size_t kRowPageHeader = 14;    // type, 01, free space, owner, 4 unused, row count
constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer keeps the row number in one byte
constexpr std::size_t kMaxRowLength = kPageSize - kRowPageHeader - 2;
constexpr std::size_t kTdefPageHeader = 8;  // type, 01, free space, next page
constexpr std::size_t kTdefBytesPerPage = kPageSize - kTdefPageHeader;
constexpr std::size_t kUsageMapRowLength = 69;               // type byte + 68 bytes
constexpr std::uint32_t kInlineMapPages = 64 * 8;            // type 0: start page + 64 bitmap bytes
constexpr std::uint32_t kMapPageBits = (kPageSize - 4) * 8;  // pages covered by one map page
constexpr std::size_t kMapPagePointers = 17;                 // type 1: 68 bytes of page numbers
constexpr std::size_t kMapRowsPerPage = (kPageSize - kRowPageHeader) / (kUsageMapRowLength + 2);
constexpr std::size_t kMemoHeader = 12;
constexpr std::size_t kInlineMemoLimit = 64;
constexpr std::size_t kMaxMemoBytes = 0xFFFFFF;  // three length bytes
constexpr std::size_t kCompressibleMemoChars = 1024;
constexpr std::size_t kMaxNameUnits = 64;
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint32_t kLvalTag = 0x4C41564C;  // "LVAL" in file byte order

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTdef = 0x02;
constexpr std::uint8_t kPageUsageMap = 0x05;

constexpr std::uint16_t kSortGeneral = 0x0409;
constexpr std::uint16_t kCodePage = 1252;

constexpr std::int32_t kTablesContainerId = 0x0F000001;
constexpr std::int32_t kDatabasesContainerId = 0x0F000002;
constexpr std::int32_t kRelationshipsContainerId = 0x0F000003;
constexpr std::int32_t kRootParentId = 0x0F000000;
constexpr std::int64_t kSystemObjectFlags = -2147483648LL;  // 0x80000000 as a Long

using Page = std::array<std::uint8_t, kPageSize>;

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Column type codes as stored; Binary and OLE only occur in the catalog.
enum class Kind : std::uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
};

Kind kind_of(ColumnType type) {
  switch (type) {
    case ColumnType::Boolean:
      return Kind::Boolean;
    case ColumnType::Byte:
      return Kind::Byte;
    case ColumnType::Integer:
      return Kind::Integer;
    case ColumnType::LongInteger:
      return Kind::Long;
    case ColumnType::Currency:
      return Kind::Currency;
    case ColumnType::Single:
      return Kind::Single;
    case ColumnType::Double:
      return Kind::Double;
    case ColumnType::DateTime:
      return Kind::DateTime;
    case ColumnType::Text:
      return Kind::Text;
    case ColumnType::Memo:
      return Kind::Memo;
  }
  throw InputError("unknown column type");
}

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::Boolean:
      return "Boolean";
    case Kind::Byte:
      return "Byte";
    case Kind::Integer:
      return "Integer";
    case Kind::Long:
      return "Long";
    case Kind::Currency:
      return "Currency";
    case Kind::Single:
      return "Single";
    case Kind::Double:
      return "Double";
    case Kind::DateTime:
      return "DateTime";
    case Kind::Binary:
      return "Binary";
    case Kind::Text:
      return "Text";
    case Kind::Ole:
      return "OLE";
    case Kind::Memo:
      return "Memo";
  }
  return "?";
}

// Bytes a fixed-length column takes in the row; Boolean lives in the null mask.
std::uint16_t fixed_width(Kind kind) {
  switch (kind) {
    case Kind::Byte:
      return 1;
    case Kind::Integer:
      return 2;
    case Kind::Long:
    case Kind::Single:
      return 4;
    case Kind::Currency:
    case Kind::Double:
    case Kind::DateTime:
      return 8;
    default:
      return 0;
  }
}

bool is_fixed(Kind kind) {
  return kind != Kind::Text && kind != Kind::Memo && kind != Kind::Binary && kind != Kind::Ole;
}
bool is_long_value(Kind kind) {
  return kind == Kind::Memo || kind == Kind::Ole;
}

struct ColumnLayout {
  std::string name_utf8;
  std::u16string name;
  Kind kind = Kind::Long;
  std::uint16_t number = 0;
  std::uint16_t length = 0;     // as stored in the definition: bytes (Text: 2 per character)
  std::uint16_t max_units = 0;  // Text: maximum UTF-16 code units
  std::uint16_t fixed_offset = 0;
  std::uint16_t var_index = 0;
};

struct TableLayout {
  std::string name_utf8;
  std::u16string name;
  bool system = false;
  std::vector<ColumnLayout> columns;
  std::uint16_t fixed_size = 0;
  std::uint16_t var_count = 0;
  std::vector<std::size_t> long_value_columns;  // indexes into columns
  std::size_t null_mask_size = 0;
};

std::u16string checked_name(const std::string& utf8, const std::string& what) {
  std::u16string name;
  try {
    name = detail::utf8_to_utf16(utf8);
  } catch (const InputError& e) {
    throw InputError(what + " name is not valid UTF-8: " + e.what());
  }
  if (name.empty()) throw InputError(what + " name is empty");
  if (name.size() > kMaxNameUnits) {
    throw InputError(what + " name \"" + utf8 + "\" is longer than 64 characters");
  }
  if (name.front() == u' ') {
    throw InputError(what + " name \"" + utf8 + "\" starts with a space");
  }
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7F || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') {
      throw InputError(what + " name \"" + utf8 +
                       "\" holds a character Access does not allow in names "
                       "(control characters and . ! ` [ ])");
    }
  }
  return name;
}

void finish_layout(TableLayout& layout) {
  std::uint16_t fixed_offset = 0;
  std::uint16_t var_index = 0;
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    ColumnLayout& col = layout.columns[i];
    col.number = static_cast<std::uint16_t>(i);
    if (is_fixed(col.kind)) {
      col.fixed_offset = fixed_offset;
      fixed_offset = static_cast<std::uint16_t>(fixed_offset + fixed_width(col.kind));
      col.length = col.kind == Kind::Boolean ? 1 : fixed_width(col.kind);
    } else {
      col.var_index = var_index++;
      if (is_long_value(col.kind)) layout.long_value_columns.push_back(i);
    }
  }
  layout.fixed_size = fixed_offset;
  layout.var_count = var_index;
  layout.null_mask_size = (layout.columns.size() + 7) / 8;
}

TableLayout user_layout(const Table& table) {
  TableLayout layout;
  layout.name_utf8 = table.name;
  layout.name = checked_name(table.name, "table");
  if (detail::fold_case(layout.name).starts_with(u"msys")) {
    throw InputError("table name \"" + table.name + "\" starts with MSys, kept for system tables");
  }
  const std::string where = "table \"" + table.name + "\"";
  if (table.columns.empty()) throw InputError(where + " has no columns");
  if (table.columns.size() > kMaxColumns) {
    throw InputError(where + " has " + std::to_string(table.columns.size()) +
                     " columns, more than 255");
  }
  std::set<std::u16string> seen;
  for (const Column& column : table.columns) {
    ColumnLayout col;
    col.name_utf8 = column.name;
    col.name = checked_name(column.name, where + ": column");
    if (!seen.insert(detail::fold_case(col.name)).second) {
      throw InputError(where + ": duplicate column name \"" + column.name + "\"");
    }
    col.kind = kind_of(column.type);
    if (column.type == ColumnType::Text) {
      const int size = column.size == 0 ? 255 : column.size;
      if (size < 1 || size > 255) {
        throw InputError(where + ": column \"" + column.name + "\" has Text size " +
                         std::to_string(column.size) + " (allowed 1..255)");
      }
      col.max_units = static_cast<std::uint16_t>(size);
      col.length = static_cast<std::uint16_t>(2 * size);
    } else if (column.size != 0) {
      throw InputError(where + ": column \"" + column.name + "\" is " +
                       std::string(type_name(column.type)) + ", size applies only to Text columns");
    }
    layout.columns.push_back(std::move(col));
  }
  finish_layout(layout);
  return layout;
}

// MSysObjects with the columns Access gives it; readers find the table list
// through Id, Name, Type and Flags, and some refuse a catalog without LvProp.
TableLayout catalog_layout() {
  TableLayout layout;
  layout.name_utf8 = "MSysObjects";
  layout.name = u"MSysObjects";
  layout.system = true;
  const auto add = [&](std::u16string name, Kind kind, std::uint16_t text_units = 0) {
    ColumnLayout col;
    col.name = std::move(name);
    col.name_utf8.assign(col.name.begin(), col.name.end());  // ASCII only
    col.kind = kind;
    if (kind == Kind::Text) {
      col.max_units = text_units;
      col.length = static_cast<std::uint16_t>(2 * text_units);
    } else if (kind == Kind::Binary) {
      col.length = 255;
    }
    layout.columns.push_back(std::move(col));
  };
  add(u"Id", Kind::Long);
  add(u"ParentId", Kind::Long);
  add(u"Name", Kind::Text, 128);
  add(u"Owner", Kind::Binary);
  add(u"DateCreate", Kind::DateTime);
  add(u"DateUpdate", Kind::DateTime);
  add(u"Type", Kind::Integer);
  add(u"Flags", Kind::Long);
  add(u"ForeignName", Kind::Text, 128);
  add(u"Database", Kind::Memo);
  add(u"Connect", Kind::Memo);
  add(u"RmtInfoShort", Kind::Binary);
  add(u"RmtInfoLong", Kind::Ole);
  add(u"Lv", Kind::Ole);
  add(u"LvProp", Kind::Ole);
  add(u"LvModule", Kind::Ole);
  add(u"LvExtra", Kind::Ole);
  finish_layout(layout);
  return layout;
}

// ---------------------------------------------------------------------------
// Pages

// Hands out page numbers in order and writes finished pages at their place.
// Without a file descriptor pages are only counted (used by validate()).
class PageFile {
 public:
  explicit PageFile(int fd) : fd_(fd) {}

  std::uint32_t allocate() {
    if (count_ >= kMaxPages) throw InputError("database would be larger than 2 GB");
    return count_++;
  }
  std::uint32_t count() const { return count_; }

  void write(std::uint32_t number, const Page& page) {
    if (fd_ < 0) return;
    const off_t offset = static_cast<off_t>(number) * static_cast<off_t>(kPageSize);
    std::size_t done = 0;
    while (done < kPageSize) {
      const ssize_t n =
          ::pwrite(fd_, page.data() + done, kPageSize - done, offset + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw std::runtime_error(std::string("cannot write database page: ") +
                                 std::strerror(errno));
      }
      done += static_cast<std::size_t>(n);
    }
  }

 private:
  int fd_;
  std::uint32_t count_ = 0;
};

// A data page (or long-value page) being filled: row offsets grow from the
// header down, rows from the end of the page up, each row ending where the
// previous one starts.
class RowPage {
 public:
  void reset(std::uint32_t number, std::uint32_t owner) {
    page_.fill(0);
    number_ = number;
    owner_ = owner;
    rows_ = 0;
    top_ = kPageSize;
  }
  bool fits(std::size_t length) const {
    return rows_ < kMaxRowsPerPage && kRowPageHeader + 2 * (rows_ + 1) + length <= top_;
  }
  std::uint8_t add(const std::uint8_t* data, std::size_t length) {
    top_ -= length;
    std::memcpy(page_.data() + top_, data, length);
    put16(page_.data() + kRowPageHeader + 2 * rows_, static_cast<std::uint16_t>(top_));
    return static_cast<std::uint8_t>(rows_++);
  }
  std::size_t free_space() const { return top_ - (kRowPageHeader + 2 * rows_); }
  std::uint32_t number() const { return number_; }
  std::size_t rows() const { return rows_; }

  const Page& finish() {
    page_[0] = kPageData;
    page_[1] = 0x01;
    put16(page_.data() + 2, static_cast<std::uint16_t>(free_space()));
    put32(page_.data() + 4, owner_);
    put16(page_.data() + 12, static_cast<std::uint16_t>(rows_));
    return page_;
  }

 private:
  Page page_{};
  std::uint32_t number_ = 0;
  std::uint32_t owner_ = 0;
  std::size_t rows_ = 0;
  std::size_t top_ = kPageSize;
};

std::uint32_t row_pointer(std::uint32_t page, std::uint8_t row) {
  return (page << 8) | row;
}

// Appends rows to a sequence of pages owned by one table (or one long-value
// column), opening a new page whenever the current one is full.
class RowStream {
 public:
  RowStream(PageFile& file, std::uint32_t owner) : file_(file), owner_(owner) {}

  std::uint32_t append(const std::uint8_t* data, std::size_t length) {
    if (!open_ || !page_.fits(length)) {
      flush();
      page_.reset(file_.allocate(), owner_);
      pages_.push_back(page_.number());
      open_ = true;
    }
    const std::uint8_t row = page_.add(data, length);
    smallest_row_ = std::min(smallest_row_, length);
    return row_pointer(page_.number(), row);
  }

  void flush() {
    if (!open_) return;
    last_free_ = page_.free_space();
    file_.write(page_.number(), page_.finish());
    open_ = false;
  }

  const std::vector<std::uint32_t>& pages() const { return pages_; }
  // The last page, when another row of the smallest size seen would fit.
  std::optional<std::uint32_t> page_with_room() const {
    if (pages_.empty() || open_ || last_free_ < smallest_row_ + 2) return std::nullopt;
    return pages_.back();
  }

 private:
  PageFile& file_;
  std::uint32_t owner_;
  RowPage page_;
  bool open_ = false;
  std::vector<std::uint32_t> pages_;
  std::size_t smallest_row_ = kPageSize;
  std::size_t last_free_ = 0;
};

using MapRow = std::array<std::uint8_t, kUsageMapRowLength>;

// Usage map naming `pages` (ascending): inline bitmap when they span at most
// 512 pages, otherwise a list of map pages, each a bitmap over 32736 pages.
MapRow owned_pages_map(const std::vector<std::uint32_t>& pages, PageFile& file) {
  MapRow row{};
  if (pages.empty()) return row;  // type 0, start page 0, no bits
  if (pages.back() - pages.front() < kInlineMapPages) {
    row[0] = 0x00;
    put32(row.data() + 1, pages.front());
    for (const std::uint32_t page : pages) {
      const std::uint32_t bit = page - pages.front();
      row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
  }
  row[0] = 0x01;
  std::size_t next = 0;
  while (next < pages.size()) {
    const std::uint32_t slot = pages[next] / kMapPageBits;
    if (slot >= kMapPagePointers) throw InputError("database would be larger than 2 GB");
    Page map{};
    map[0] = kPageUsageMap;
    map[1] = 0x01;
    for (; next < pages.size() && pages[next] / kMapPageBits == slot; ++next) {
      const std::uint32_t bit = pages[next] % kMapPageBits;
      map[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    const std::uint32_t number = file.allocate();
    file.write(number, map);
    put32(row.data() + 1 + 4 * slot, number);
  }
  return row;
}

// Usage map naming at most one page (the free-space maps).
MapRow single_page_map(std::optional<std::uint32_t> page) {
  MapRow row{};
  if (page) {
    put32(row.data() + 1, *page);
    row[5] = 0x01;
  }
  return row;
}

// ---------------------------------------------------------------------------
// Rows

std::string describe(const Value& value) {
  struct Describe {
    std::string operator()(Null) const { return "Null"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(std::int64_t i) const { return "integer " + std::to_string(i); }
    std::string operator()(double d) const {
      char buf[64];
      std::snprintf(buf, sizeof buf, "number %.17g", d);
      return buf;
    }
    std::string operator()(const std::string& s) const {
      return "text \"" + (s.size() > 40 ? s.substr(0, 40) + "..." : s) + "\"";
    }
    std::string operator()(const Currency& c) const { return "currency " + c.to_string(); }
    std::string operator()(const DateTime& d) const { return "date/time " + d.to_string(); }
  };
  return std::visit(Describe{}, value);
}

[[noreturn]] void wrong_value(const ColumnLayout& col, const Value& value, const char* why) {
  throw InputError(describe(value) + " " + why + " for " + std::string(kind_name(col.kind)));
}

std::int64_t integer_in_range(const ColumnLayout& col, const Value& value, std::int64_t min,
                              std::int64_t max) {
  const auto* i = std::get_if<std::int64_t>(&value);
  if (!i) wrong_value(col, value, "is not an integer, as needed");
  if (*i < min || *i > max) wrong_value(col, value, "is out of range");
  return *i;
}

double finite_number(const ColumnLayout& col, const Value& value) {
  double d = 0;
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    d = static_cast<double>(*i);
  } else if (const auto* x = std::get_if<double>(&value)) {
    d = *x;
  } else {
    wrong_value(col, value, "is not a number, as needed");
  }
  if (!std::isfinite(d)) wrong_value(col, value, "is not finite, as needed");
  return d;
}

std::int64_t currency_units(const ColumnLayout& col, const Value& value) {
  if (const auto* c = std::get_if<Currency>(&value)) return c->ten_thousandths;
  if (const auto* s = std::get_if<std::string>(&value)) return Currency::parse(*s).ten_thousandths;
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10000;
    if (*i > kLimit || *i < -kLimit) wrong_value(col, value, "is out of range");
    return *i * 10000;
  }
  if (std::holds_alternative<double>(value)) {
    const double scaled = std::round(finite_number(col, value) * 10000.0);
    // Past 2^53 a double no longer holds every ten-thousandth.
    if (std::fabs(scaled) > 9007199254740992.0) {
      wrong_value(col, value, "is too large to convert exactly (give it as a string)");
    }
    return static_cast<std::int64_t>(scaled);
  }
  wrong_value(col, value, "is not an amount, as needed");
}

double date_serial(const ColumnLayout& col, const Value& value) {
  if (const auto* d = std::get_if<DateTime>(&value)) return d->to_serial();
  if (const auto* s = std::get_if<std::string>(&value)) return DateTime::parse(*s).to_serial();
  wrong_value(col, value, "is not a date/time, as needed");
}

std::uint64_t double_bits(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

// Encodes one row of a table into the row format: column count, fixed-length
// values at their offsets, variable-length values, then (when the table has
// variable-length columns) their end offset, the offsets in reverse order and
// their count, and last the null mask (bit set = value present; for Boolean
// columns the bit is the value itself).
class RowEncoder {
 public:
  RowEncoder(const TableLayout& layout, std::vector<RowStream>* long_values)
      : layout_(layout), long_values_(long_values), var_offsets_(layout.var_count) {}

  const std::vector<std::uint8_t>& encode(const std::vector<Value>& values) {
    const auto& columns = layout_.columns;
    if (values.size() != columns.size()) {
      throw InputError("has " + std::to_string(values.size()) + " values for " +
                       std::to_string(columns.size()) + " columns");
    }
    row_.assign(2 + layout_.fixed_size, 0);
    put16(row_.data(), static_cast<std::uint16_t>(columns.size()));
    mask_.assign(layout_.null_mask_size, 0);
    std::size_t long_value_slot = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const ColumnLayout& col = columns[i];
      const Value& value = values[i];
      const bool long_value = is_long_value(col.kind);
      try {
        if (!is_fixed(col.kind))
          var_offsets_[col.var_index] = static_cast<std::uint16_t>(row_.size());
        bool present = !std::holds_alternative<Null>(value);
        if (col.kind == Kind::Boolean) {
          const auto* b = std::get_if<bool>(&value);
          if (!b) {
            wrong_value(col, value,
                        present ? "is not true/false, as needed"
                                : "is not allowed (a Boolean is stored in the null mask and "
                                  "cannot be Null)");
          }
          present = *b;
        } else if (present) {
          encode_value(col, value, long_value ? &(*long_values_)[long_value_slot] : nullptr);
        }
        if (present) mask_[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
      } catch (const InputError& e) {
        throw InputError("column \"" + col.name_utf8 + "\": " + e.what());
      }
      if (long_value) ++long_value_slot;
    }
    if (layout_.var_count > 0) {
      append16(row_, static_cast<std::uint16_t>(row_.size()));  // end of variable data
      for (std::size_t v = layout_.var_count; v-- > 0;) append16(row_, var_offsets_[v]);
      append16(row_, layout_.var_count);
    }
    row_.insert(row_.end(), mask_.begin(), mask_.end());
    if (row_.size() > kMaxRowLength) {
      throw InputError("is " + std::to_string(row_.size()) + " bytes long, more than the " +
                       std::to_string(kMaxRowLength) +
                       " bytes a row can have (use Memo for long texts)");
    }
    return row_;
  }

 private:
  void encode_value(const ColumnLayout& col, const Value& value, RowStream* long_values) {
    std::uint8_t* fixed = row_.data() + 2 + col.fixed_offset;
    switch (col.kind) {
      case Kind::Byte:
        fixed[0] = static_cast<std::uint8_t>(integer_in_range(col, value, 0, 255));
        break;
      case Kind::Integer:
        put16(fixed, static_cast<std::uint16_t>(integer_in_range(col, value, -32768, 32767)));
        break;
      case Kind::Long:
        put32(fixed, static_cast<std::uint32_t>(
                         integer_in_range(col, value, std::numeric_limits<std::int32_t>::min(),
                                          std::numeric_limits<std::int32_t>::max())));
        break;
      case Kind::Currency:
        put64(fixed, static_cast<std::uint64_t>(currency_units(col, value)));
        break;
      case Kind::Single: {
        const double d = finite_number(col, value);
        if (std::fabs(d) > FLT_MAX) wrong_value(col, value, "is out of range");
        const float f = static_cast<float>(d);
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        put32(fixed, bits);
        break;
      }
      case Kind::Double:
        put64(fixed, double_bits(finite_number(col, value)));
        break;
      case Kind::DateTime:
        put64(fixed, double_bits(date_serial(col, value)));
        break;
      case Kind::Text: {
        const auto& units = text_units(col, value);
        if (units.size() > col.max_units) {
          throw InputError("text of " + std::to_string(units.size()) +
                           " characters is longer than the column's size " +
                           std::to_string(col.max_units));
        }
        detail::append_stored_text(units, true, row_);
        break;
      }
      case Kind::Memo:
        encode_memo(col, value, *long_values);
        break;
      case Kind::Boolean:
      case Kind::Binary:
      case Kind::Ole:
        wrong_value(col, value, "cannot be stored (only Null)");
    }
  }

  const std::u16string& text_units(const ColumnLayout& col, const Value& value) {
    const auto* s = std::get_if<std::string>(&value);
    if (!s) wrong_value(col, value, "is not text, as needed");
    units_ = detail::utf8_to_utf16(*s);
    return units_;
  }

  // A memo field in the row is a 12-byte header: length with flags in the
  // top byte (0x80 data follows inline, 0x40 data is one long-value row,
  // 0x00 data is a chain of long-value rows), the pointer to the first
  // long-value row, and 4 unused bytes.
  void encode_memo(const ColumnLayout& col, const Value& value, RowStream& store) {
    const auto& units = text_units(col, value);
    stored_.clear();
    detail::append_stored_text(units, units.size() <= kCompressibleMemoChars, stored_);
    const std::size_t length = stored_.size();
    if (length > kMaxMemoBytes) {
      throw InputError("memo of " + std::to_string(length) + " bytes is larger than " +
                       std::to_string(kMaxMemoBytes) + " bytes");
    }
    std::uint8_t header[kMemoHeader] = {};
    if (length <= kInlineMemoLimit) {
      put32(header, static_cast<std::uint32_t>(length) | 0x80000000u);
      row_.insert(row_.end(), header, header + kMemoHeader);
      row_.insert(row_.end(), stored_.begin(), stored_.end());
      return;
    }
    std::uint32_t first = 0;
    if (length <= kMaxRowLength) {
      put32(header, static_cast<std::uint32_t>(length) | 0x40000000u);
      first = store.append(stored_.data(), length);
    } else {
      // Chain: each row starts with the pointer to the next one. Written
      // back to front so that every row knows where its successor went.
      put32(header, static_cast<std::uint32_t>(length));
      constexpr std::size_t kChunk = kMaxRowLength - 4;
      const std::size_t chunks = (length + kChunk - 1) / kChunk;
      std::uint32_t next = 0;
      std::vector<std::uint8_t> piece;
      for (std::size_t k = chunks; k-- > 0;) {
        const std::size_t begin = k * kChunk;
        const std::size_t size = std::min(kChunk, length - begin);
        piece.clear();
        append32(piece, next);
        piece.insert(piece.end(), stored_.begin() + static_cast<std::ptrdiff_t>(begin),
                     stored_.begin() + static_cast<std::ptrdiff_t>(begin + size));
        next = store.append(piece.data(), piece.size());
      }
      first = next;
    }
    put32(header + 4, first);
    row_.insert(row_.end(), header, header + kMemoHeader);
  }

  const TableLayout& layout_;
  std::vector<RowStream>* long_values_;
  std::vector<std::uint16_t> var_offsets_;
  std::vector<std::uint8_t> row_;
  std::vector<std::uint8_t> mask_;
  std::vector<std::uint8_t> stored_;
  std::u16string units_;
};

// ---------------------------------------------------------------------------
// Table definitions

struct MapRef {
  std::uint32_t page = 0;
  std::uint8_t row = 0;
  std::uint32_t pointer() const { return row_pointer(page, row); }
};

struct TableMaps {
  MapRef owned;
  MapRef free;
  std::vector<std::pair<MapRef, MapRef>> long_values;  // per long-value column
};

// The definition as one byte stream: it fills pages from offset 8 on and
// continues on the next definition page when longer than one page.
std::vector<std::uint8_t> definition_stream(const TableLayout& t, std::uint32_t num_rows,
                                            const TableMaps& maps) {
  std::vector<std::uint8_t> out(55, 0);
  std::uint8_t* h = out.data();
  // h + 0: total length, filled in last; h + 4: 4 unused bytes.
  put32(h + 8, num_rows);
  put32(h + 12, 0);  // next autonumber value: no autonumber columns
  h[16] = 0x01;
  h[32] = t.system ? 0x53 : 0x4E;
  const auto num_cols = static_cast<std::uint16_t>(t.columns.size());
  put16(h + 33, num_cols);  // columns a row may have
  put16(h + 35, t.var_count);
  put16(h + 37, num_cols);
  put32(h + 39, 0);  // logical indexes
  put32(h + 43, 0);  // index entries
  put32(h + 47, maps.owned.pointer());
  put32(h + 51, maps.free.pointer());
  for (const ColumnLayout& col : t.columns) {
    std::uint8_t c[25] = {};
    c[0] = static_cast<std::uint8_t>(col.kind);
    put16(c + 5, col.number);
    put16(c + 7, col.var_index);
    put16(c + 9, col.number);
    const bool text = col.kind == Kind::Text || col.kind == Kind::Memo;
    if (text) put16(c + 11, kSortGeneral);
    c[15] = static_cast<std::uint8_t>((is_fixed(col.kind) ? 0x01 : 0x00) | 0x02);
    c[16] = text ? 0x01 : 0x00;  // text may be stored compressed
    put16(c + 21, col.fixed_offset);
    put16(c + 23, col.length);
    out.insert(out.end(), c, c + sizeof c);
  }
  for (const ColumnLayout& col : t.columns) {
    append16(out, static_cast<std::uint16_t>(2 * col.name.size()));
    detail::append_stored_text(col.name, false, out);
  }
  for (std::size_t k = 0; k < t.long_value_columns.size(); ++k) {
    append16(out, t.columns[t.long_value_columns[k]].number);
    append32(out, maps.long_values[k].first.pointer());
    append32(out, maps.long_values[k].second.pointer());
  }
  append16(out, 0xFFFF);
  put32(out.data(), static_cast<std::uint32_t>(out.size()));
  return out;
}

std::size_t definition_pages(std::size_t stream_length) {
  return (stream_length + kTdefBytesPerPage - 1) / kTdefBytesPerPage;
}

void write_definition(PageFile& file, const std::vector<std::uint32_t>& pages,
                      const std::vector<std::uint8_t>& stream) {
  for (std::size_t i = 0; i < pages.size(); ++i) {
    Page page{};
    const std::size_t begin = i * kTdefBytesPerPage;
    const std::size_t size = std::min(kTdefBytesPerPage, stream.size() - begin);
    page[0] = kPageTdef;
    page[1] = 0x01;
    const std::size_t free = kTdefBytesPerPage - size;
    put16(page.data() + 2, static_cast<std::uint16_t>(free >= 8 ? free - 8 : 0));
    put32(page.data() + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    std::memcpy(page.data() + kTdefPageHeader, stream.data() + begin, size);
    file.write(pages[i], page);
  }
}

// ---------------------------------------------------------------------------
// Page 0

// RC4 keystream generator; page 0 keeps 128 bytes from 0x18 XORed with the
// stream of a fixed key.
class Rc4 {
 public:
  explicit Rc4(const std::uint8_t* key, std::size_t length) {
    for (int i = 0; i < 256; ++i) s_[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
      j = static_cast<std::uint8_t>(j + s_[i] + key[i % length]);
      std::swap(s_[i], s_[j]);
    }
  }
  std::uint8_t next() {
    i_ = static_cast<std::uint8_t>(i_ + 1);
    j_ = static_cast<std::uint8_t>(j_ + s_[i_]);
    std::swap(s_[i_], s_[j_]);
    return s_[static_cast<std::uint8_t>(s_[i_] + s_[j_])];
  }

 private:
  std::uint8_t s_[256];
  std::uint8_t i_ = 0;
  std::uint8_t j_ = 0;
};

Page header_page() {
  Page page{};
  page[0] = 0x00;
  page[1] = 0x01;
  static constexpr char kMagic[] = "Standard Jet DB";
  std::memcpy(page.data() + 4, kMagic, sizeof kMagic);  // with its terminating zero
  put32(page.data() + 0x14, 1);                         // Jet 4
  // Block from 0x18, in plain form: code page, database key 0 (no page
  // encryption), empty password, sort order.
  put16(page.data() + 0x3C, kCodePage);
  put32(page.data() + 0x3E, 0);
  put32(page.data() + 0x6E, kSortGeneral);
  static constexpr std::uint8_t kKey[] = {0xC7, 0xDA, 0x39, 0x6B};
  Rc4 rc4(kKey, sizeof kKey);
  for (std::size_t i = 0x18; i < 0x18 + 128; ++i) page[i] ^= rc4.next();
  return page;
}

// ---------------------------------------------------------------------------
// Whole file

std::u16string folded_table_name(const TableLayout& t) {
  return detail::fold_case(t.name);
}

void write_all(const Database& db, int fd) {
  std::vector<TableLayout> layouts;
  layouts.push_back(catalog_layout());
  std::set<std::u16string> table_names;
  for (const Table& table : db.tables) {
    layouts.push_back(user_layout(table));
    if (!table_names.insert(folded_table_name(layouts.back())).second) {
      throw InputError("duplicate table name \"" + table.name + "\"");
    }
  }
  db.created.to_serial();  // throws for an invalid creation time

  PageFile file(fd);
  file.allocate();  // 0: header
  file.allocate();  // 1: global usage map

  // Definitions: MSysObjects first, on page 2 where readers look for it.
  std::vector<std::vector<std::uint32_t>> tdef_pages(layouts.size());
  for (std::size_t t = 0; t < layouts.size(); ++t) {
    TableMaps placeholder;
    placeholder.long_values.resize(layouts[t].long_value_columns.size());
    const std::size_t pages =
        definition_pages(definition_stream(layouts[t], 0, placeholder).size());
    for (std::size_t p = 0; p < pages; ++p) tdef_pages[t].push_back(file.allocate());
  }

  // Usage map rows: for each table its pages and its pages with free space,
  // and the same pair for each long-value column.
  std::vector<TableMaps> maps(layouts.size());
  std::size_t map_rows = 0;
  for (const TableLayout& t : layouts) map_rows += 2 + 2 * t.long_value_columns.size();
  std::vector<std::uint32_t> map_pages;
  for (std::size_t i = 0; i < (map_rows + kMapRowsPerPage - 1) / kMapRowsPerPage; ++i) {
    map_pages.push_back(file.allocate());
  }
  {
    std::size_t next = 0;
    const auto take = [&] {
      MapRef ref{map_pages[next / kMapRowsPerPage],
                 static_cast<std::uint8_t>(next % kMapRowsPerPage)};
      ++next;
      return ref;
    };
    for (std::size_t t = 0; t < layouts.size(); ++t) {
      maps[t].owned = take();
      maps[t].free = take();
      for (std::size_t k = 0; k < layouts[t].long_value_columns.size(); ++k) {
        const MapRef owned = take();
        maps[t].long_values.emplace_back(owned, take());
      }
    }
  }
  std::vector<MapRow> map_contents;  // in the order of the references above

  // Catalog rows, then every user table's rows.
  std::vector<std::uint32_t> row_counts(layouts.size(), 0);
  for (std::size_t t = 0; t < layouts.size(); ++t) {
    const TableLayout& layout = layouts[t];
    const std::uint32_t tdef = tdef_pages[t].front();
    RowStream data(file, tdef);
    std::vector<RowStream> long_values;
    for (std::size_t k = 0; k < layout.long_value_columns.size(); ++k) {
      long_values.emplace_back(file, kLvalTag);
    }
    RowEncoder encoder(layout, &long_values);
    const auto store = [&](const std::vector<Value>& values, std::size_t index) {
      try {
        const auto& row = encoder.encode(values);
        data.append(row.data(), row.size());
      } catch (const InputError& e) {
        throw InputError("table \"" + layout.name_utf8 + "\", row " + std::to_string(index + 1) +
                         ": " + e.what());
      }
    };
    if (t == 0) {
      std::size_t index = 0;
      const auto object = [&](std::int32_t id, std::int32_t parent, const std::string& name,
                              std::int64_t type, std::int64_t flags) {
        const DateTime stamp = db.created;
        store({std::int64_t{id}, std::int64_t{parent}, name, null, stamp, stamp, type, flags, null,
               null, null, null, null, null, null, null, null},
              index++);
      };
      object(kTablesContainerId, kRootParentId, "Tables", 3, 0);
      object(kDatabasesContainerId, kRootParentId, "Databases", 3, 0);
      object(kRelationshipsContainerId, kRootParentId, "Relationships", 3, 0);
      for (std::size_t u = 0; u < layouts.size(); ++u) {
        object(static_cast<std::int32_t>(tdef_pages[u].front()), kTablesContainerId,
               layouts[u].name_utf8, 1, layouts[u].system ? kSystemObjectFlags : 0);
      }
      row_counts[t] = static_cast<std::uint32_t>(index);
    } else {
      const Table& table = db.tables[t - 1];
      for (std::size_t r = 0; r < table.rows.size(); ++r) store(table.rows[r], r);
      row_counts[t] = static_cast<std::uint32_t>(table.rows.size());
    }
    data.flush();
    for (RowStream& lv : long_values) lv.flush();

    map_contents.push_back(owned_pages_map(data.pages(), file));
    map_contents.push_back(single_page_map(data.page_with_room()));
    for (RowStream& lv : long_values) {
      map_contents.push_back(owned_pages_map(lv.pages(), file));
      map_contents.push_back(single_page_map(lv.page_with_room()));
    }
  }

  // Now that every page number is known: definitions, map rows, page 1, page 0.
  for (std::size_t t = 0; t < layouts.size(); ++t) {
    write_definition(file, tdef_pages[t], definition_stream(layouts[t], row_counts[t], maps[t]));
  }
  for (std::size_t p = 0; p < map_pages.size(); ++p) {
    RowPage page;
    page.reset(map_pages[p], 0);
    for (std::size_t r = p * kMapRowsPerPage;
         r < std::min(map_contents.size(), (p + 1) * kMapRowsPerPage); ++r) {
      page.add(map_contents[r].data(), map_contents[r].size());
    }
    file.write(map_pages[p], page.finish());
  }
  {
    // Page 1 keeps the database-wide map of pages free for reuse: none.
    RowPage page;
    page.reset(1, 0);
    const MapRow empty{};
    page.add(empty.data(), empty.size());
    file.write(1, page.finish());
  }
  file.write(0, header_page());
}

std::string errno_text() {
  return std::strerror(errno);
}

}  // namespace

void validate(const Database& db) {
  write_all(db, -1);
}

void write_database(const Database& db, const std::filesystem::path& path) {
  // Build beside the target, then rename: readers never see a half-written
  // file and a failure leaves an existing file untouched.
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir / (path.filename().string() + ".tmp." + std::to_string(::getpid()) + "." +
                  std::to_string(counter++));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    throw std::runtime_error("cannot create " + temp.string() + ": " + errno_text());
  }
  try {
    write_all(db, fd);
    if (::close(fd) != 0) {
      fd = -1;
      throw std::runtime_error("cannot write " + temp.string() + ": " + errno_text());
    }
    fd = -1;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      throw std::runtime_error("cannot rename " + temp.string() + " to " + path.string() + ": " +
                               errno_text());
    }
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
}

TemporaryDatabase::TemporaryDatabase(const Database& db, std::string_view stem) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          (std::string(stem) + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           "-" + std::to_string(random()) + ".mdb");
  write_database(db, path_);
}

TemporaryDatabase::~TemporaryDatabase() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace qano::jet4
