#include "platform/jet/select_statement.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/jet/jet_contract.h"
#include "platform/text.h"

namespace qano {

namespace {

class Scanner {
 public:
  explicit Scanner(const std::string& sql) : sql_(sql) {}

  [[noreturn]] void syntax_error() const { throw jet_contract::syntax_error(sql_); }

  void skip_blanks() {
    while (pos_ < sql_.size() && std::isspace(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
  }
  bool at_end() {
    skip_blanks();
    return pos_ == sql_.size();
  }

  // A keyword, compared without regard to case and ended by a non-name character.
  void keyword(std::string_view word) {
    skip_blanks();
    if (sql_.size() - pos_ < word.size()) syntax_error();
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(sql_[pos_ + i])) != word[i]) syntax_error();
    }
    std::size_t end = pos_ + word.size();
    if (end < sql_.size() && is_name_char(sql_[end])) syntax_error();
    pos_ = end;
  }

  void symbol(char c) {
    skip_blanks();
    if (pos_ == sql_.size() || sql_[pos_] != c) syntax_error();
    ++pos_;
  }

  // A name: letters (any non-ASCII byte counts as one), digits and underscores, or any text in
  // [brackets].
  std::string name() {
    skip_blanks();
    if (pos_ < sql_.size() && sql_[pos_] == '[') {
      std::size_t end = sql_.find(']', pos_ + 1);
      if (end == std::string::npos || end == pos_ + 1) syntax_error();
      std::string n = sql_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end + 1;
      return n;
    }
    std::size_t start = pos_;
    while (pos_ < sql_.size() && is_name_char(sql_[pos_])) ++pos_;
    if (start == pos_ || std::isdigit(static_cast<unsigned char>(sql_[start]))) syntax_error();
    return sql_.substr(start, pos_ - start);
  }

  JetValue literal() {
    skip_blanks();
    if (pos_ == sql_.size()) syntax_error();
    char c = sql_[pos_];
    if (c == '\'' || c == '"') {
      std::string value;
      ++pos_;
      for (;;) {
        if (pos_ == sql_.size()) syntax_error();
        if (sql_[pos_] == c) {
          if (pos_ + 1 < sql_.size() && sql_[pos_ + 1] == c) {  // a doubled quote stands for one
            value += c;
            pos_ += 2;
            continue;
          }
          ++pos_;
          return JetValue::text(value);
        }
        value += sql_[pos_++];
      }
    }
    std::size_t start = pos_;
    if (c == '-' || c == '+') ++pos_;
    std::size_t digits = 0;
    while (pos_ < sql_.size() && std::isdigit(static_cast<unsigned char>(sql_[pos_]))) {
      ++pos_;
      ++digits;
    }
    if (pos_ < sql_.size() && sql_[pos_] == '.') {
      ++pos_;
      while (pos_ < sql_.size() && std::isdigit(static_cast<unsigned char>(sql_[pos_]))) {
        ++pos_;
        ++digits;
      }
    }
    if (digits == 0) syntax_error();
    if (pos_ < sql_.size() && is_name_char(sql_[pos_])) syntax_error();
    std::string number = sql_.substr(start, pos_ - start);
    return JetValue::real(JetType::double_precision, std::strtod(number.c_str(), nullptr));
  }

 private:
  static bool is_name_char(char c) {
    auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
  }

  const std::string& sql_;
  std::size_t pos_ = 0;
};

}  // namespace

SelectStatement parse_select(const std::string& sql) {
  Scanner s(sql);
  SelectStatement st;
  st.sql = sql;
  s.keyword("select");
  s.symbol('*');
  s.keyword("from");
  st.table = s.name();
  s.keyword("where");
  st.column = s.name();
  s.symbol('=');
  st.literal = s.literal();
  if (!s.at_end()) s.syntax_error();
  return st;
}

bool criteria_match(const JetValue& value, const JetValue& literal) {
  if (value.is_null() || literal.is_null()) return false;
  if (value.is_text() != literal.is_text()) throw jet_contract::data_type_mismatch();
  if (value.is_text()) return text::equal_ignoring_case(value.as_text(), literal.as_text());
  return value.as_number() == literal.as_number();
}

}  // namespace qano
