#include "platform/odbc/odbc_calls.h"

#include <algorithm>
#include <string_view>

#include "platform/jet/jet_contract.h"
#include "platform/text.h"

namespace qano::odbc {

#ifdef _WIN32
OdbcText to_odbc(const std::string& utf8) {
  return text::to_utf16(utf8);
}

std::string from_odbc(const OdbcText& wide) {
  return text::from_utf16(wide);
}

std::vector<OdbcDriver> system_drivers() {
  return {{"Microsoft Access Driver (*.mdb)", OdbcDialect::access},
          {"Microsoft Access Driver (*.mdb, *.accdb)", OdbcDialect::access}};
}

// The Access driver for 32-bit programs takes its connection string in the ANSI code page: a
// character of the path that the code page lacks would reach it as '?'. Such a path goes as its
// short (8.3) form, which the system spells in the code page's letters where the disk keeps short
// names.
std::string path_for_driver(const std::string& file, OdbcDialect dialect) {
  if (dialect != OdbcDialect::access || text::fits_ansi(file)) return file;
  const std::u16string utf16 = text::to_utf16(file);
  const std::wstring wide(utf16.begin(), utf16.end());
  DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (n > 0) {
    std::wstring short_path(n, L'\0');
    DWORD m = GetShortPathNameW(wide.c_str(), short_path.data(), n);
    if (m > 0 && m < n) {
      short_path.resize(m);
      std::string utf8 = text::from_utf16(std::u16string(short_path.begin(), short_path.end()));
      if (text::fits_ansi(utf8)) return utf8;
    }
  }
  throw jet_contract::invalid_path(
      file, "for the Access driver: it holds characters that this workstation's code page (" +
                std::to_string(GetACP()) +
                ") lacks, and the disk gives it no short (8.3) name without them. Rename the "
                "file or its folders with letters of that code page");
}
#else
OdbcText to_odbc(const std::string& utf8) {
  return utf8;
}
std::string from_odbc(const OdbcText& text) {
  return text;
}

std::vector<OdbcDriver> system_drivers() {
  return {{"MDBTools", OdbcDialect::mdbtools}};
}

// unixODBC hands the path on in UTF-8 as it is.
std::string path_for_driver(const std::string& file, OdbcDialect) {
  return file;
}
#endif

namespace {

// Whether a driver's message is text a person can read: UTF-8 without control characters. The
// MDBTools driver may hand back a buffer it never filled.
bool readable(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = text::utf8_sequence_length(s, i);
    if (n == 0) return false;
    auto c = static_cast<unsigned char>(s[i]);
    if (n == 1 && c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    i += n;
  }
  return true;
}

}  // namespace

std::vector<DriverRecord> diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<DriverRecord> records;
  for (SQLSMALLINT i = 1; i <= 32; ++i) {
    OdbcText state(6, 0);
    OdbcText message(1024, 0);
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = QANO_ODBC(SQLGetDiagRec)(handle_type, handle, i, odbc_chars(state.data()),
                                            &native, odbc_chars(message.data()),
                                            static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;  // SQL_NO_DATA after the last one
    state.resize(5);
    message.resize(std::min<std::size_t>(length > 0 ? static_cast<std::size_t>(length) : 0,
                                         message.size() - 1));
    DriverRecord r{from_odbc(state), static_cast<long>(native), from_odbc(message)};
    while (!r.text.empty() &&
           (r.text.back() == '\n' || r.text.back() == '\r' || r.text.back() == ' ')) {
      r.text.pop_back();
    }
    if (r.state == "00000" || !readable(r.text)) r.text.clear();
    records.push_back(std::move(r));
  }
  return records;
}

void driver_failure(SQLSMALLINT handle_type, SQLHANDLE handle, const std::string& doing,
                    const SelectStatement* statement) {
  DriverContext context;
  context.step = statement != nullptr ? DriverStep::query : DriverStep::other;
  context.doing = doing;
  if (statement != nullptr) {
    context.table = statement->table;
    context.sql = statement->sql;
  }
  throw driver_failure(diagnostics(handle_type, handle), context);
}

}  // namespace qano::odbc
