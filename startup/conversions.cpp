#include "startup/conversions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qano {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The value of `c` as a digit of `base` (8 or 16), or -1.
int digit_value(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d < base ? d : -1;
}

// A number written with "&H" or "&O" at `text`, which starts with "&". Reads as many digits as
// there are; `end` is where they stop.
std::optional<double> radix_number(std::string_view text, std::size_t& end) {
  if (text.size() < 2 || text[0] != '&') return std::nullopt;
  char kind = text[1];
  int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
  if (base == 0) return std::nullopt;
  double value = 0;
  end = 2;
  for (; end < text.size(); ++end) {
    int d = digit_value(text[end], base);
    if (d < 0) break;
    value = value * base + d;
  }
  if (!std::isfinite(value)) fail(failure::kOverflow);
  return value;
}

// The parts of a decimal number, digits only, read by leading_number() or regional_number().
struct DecimalParts {
  bool negative = false;
  std::string whole;
  std::string fraction;
  bool exponent_negative = false;
  std::string exponent;
};

// The double of a decimal number; a result beyond a Double is 6, one too small for it is 0.
double decimal_value(const DecimalParts& parts) {
  std::string ascii = parts.negative ? "-" : "";
  ascii += parts.whole.empty() ? "0" : parts.whole;
  ascii += "." + (parts.fraction.empty() ? std::string("0") : parts.fraction);
  if (!parts.exponent.empty()) {
    ascii += parts.exponent_negative ? "e-" : "e";
    ascii += parts.exponent;
  }
  double value = 0;
  auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (error == std::errc()) return value;
  // Out of range: too large or too small. The decimal magnitude tells which.
  long long exponent = 0;
  for (char c : parts.exponent) {
    exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000LL);
  }
  if (parts.exponent_negative) exponent = -exponent;
  std::size_t first = parts.whole.find_first_not_of('0');
  long long magnitude = 0;
  if (first != std::string::npos) {
    magnitude = static_cast<long long>(parts.whole.size() - first) + exponent;
  } else {
    std::size_t zeros = parts.fraction.find_first_not_of('0');
    magnitude = -static_cast<long long>(zeros == std::string::npos ? 0 : zeros) + exponent;
  }
  if (magnitude > 0) fail(failure::kOverflow);
  return 0;
}

// Reads optional "E"/"D", sign and digits at `at`; leaves `at` unchanged when no digits follow.
void read_exponent(std::string_view s, std::size_t& at, DecimalParts& parts) {
  if (at >= s.size()) return;
  char e = s[at];
  if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return;
  std::size_t j = at + 1;
  bool negative = false;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative = s[j++] == '-';
  std::size_t start = j;
  while (j < s.size() && is_digit(s[j])) ++j;
  if (j == start) return;
  parts.exponent_negative = negative;
  parts.exponent = std::string(s.substr(start, j - start));
  at = j;
}

// To the nearest whole number, ties to the even neighbour.
double round_half_even(double number) {
  double down = std::floor(number);
  double rest = number - down;
  if (rest > 0.5) return down + 1;
  if (rest < 0.5) return down;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

std::string general_form(double number, int digits, const NumberForms& forms) {
  if (number == 0) number = 0;  // no "-0"
  char buffer[64];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, digits);
  std::string ascii(buffer, error == std::errc() ? end : buffer);
  std::string out;
  for (char c : ascii) {
    if (c == '.') {
      out += forms.decimal_separator;
    } else {
      out += c == 'e' ? 'E' : c;
    }
  }
  return out;
}

// Currency, in ten-thousandths, with up to four decimals and no trailing zeros.
std::string currency_text(std::int64_t ten_thousandths, const NumberForms& forms) {
  bool negative = ten_thousandths < 0;
  // Kept unsigned so that the most negative amount has a magnitude too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                     : static_cast<std::uint64_t>(ten_thousandths);
  std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  std::string decimals = std::to_string(magnitude % 10000);
  decimals.insert(0, 4 - decimals.size(), '0');
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
  if (!decimals.empty()) out += forms.decimal_separator + decimals;
  return out;
}

// The text of a non-Null number column in the given forms; nothing for other kinds.
std::optional<std::string> number_value_text(const JetValue& value, const NumberForms& forms) {
  switch (value.type()) {
    case JetType::byte:
    case JetType::integer:
    case JetType::long_integer:
    case JetType::double_precision:
      return general_form(value.as_number(), 15, forms);
    case JetType::single:
      return general_form(value.as_number(), 7, forms);
    case JetType::currency:
      return currency_text(value.as_integer(), forms);
    default:
      return std::nullopt;
  }
}

// The calendar date `days` after 30/12/1899.
Date date_of_day(long long days) {
  const JetDay d = jet_calendar_day(days);
  return Date{d.year, d.month, d.day};
}

std::string date_time_text(double serial, Platform& platform) {
  // The whole part is the day, the fraction (taken positive) the time of day.
  double whole = std::trunc(serial);
  long long seconds = std::llround(std::fabs(serial - whole) * 86400.0);
  if (seconds >= 86400) {
    if (serial >= 0) {
      whole += 1;
      seconds = 0;
    } else {
      seconds = 86399;
    }
  }
  TimeOfDay time{static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                 static_cast<int>(seconds % 60)};
  if (whole == 0) return platform.long_time(time);
  std::string date = platform.short_date(date_of_day(static_cast<long long>(whole)));
  return seconds == 0 ? date : date + " " + platform.long_time(time);
}

}  // namespace

NumberForms number_forms(Platform& platform) {
  return NumberForms{platform.decimal_separator(), platform.thousands_separator(),
                     platform.currency_symbol()};
}

double leading_number(std::string_view text) {
  std::string s;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }
  std::size_t end = 0;
  if (!s.empty() && s[0] == '&') return radix_number(s, end).value_or(0);

  DecimalParts parts;
  std::size_t at = 0;
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) parts.negative = s[at++] == '-';
  while (at < s.size() && is_digit(s[at])) parts.whole += s[at++];
  if (at < s.size() && s[at] == '.') {
    ++at;
    while (at < s.size() && is_digit(s[at])) parts.fraction += s[at++];
  }
  if (parts.whole.empty() && parts.fraction.empty()) return 0;
  read_exponent(s, at, parts);
  return decimal_value(parts);
}

Integer round_to_integer(double number) {
  double r = round_half_even(number);
  if (!(r >= -32768.0 && r <= 32767.0)) fail(failure::kOverflow);
  return static_cast<Integer>(r);
}

Long round_to_long(double number) {
  double r = round_half_even(number);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) fail(failure::kOverflow);
  return static_cast<Long>(r);
}

std::optional<double> regional_number(std::string_view text, const NumberForms& forms) {
  // White space around the number, also between a leading sign and the digits.
  auto is_white = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  };
  auto skip_white = [&](std::string_view s, std::size_t at) {
    while (at < s.size() && is_white(s[at])) ++at;
    return at;
  };
  std::size_t first = skip_white(text, 0);
  std::size_t last = text.size();
  while (last > first && is_white(text[last - 1])) --last;
  std::string_view s = text.substr(first, last - first);
  if (s.empty()) return std::nullopt;

  std::size_t at = 0;
  if (s[0] == '&') {
    std::optional<double> value = radix_number(s, at);
    if (!value || at == 2 || at != s.size()) return std::nullopt;
    // The digits are a Long's 32 bits: &HFFFFFFFF is -1.
    if (*value > 4294967295.0) fail(failure::kOverflow);
    return *value > 2147483647.0 ? *value - 4294967296.0 : *value;
  }

  // Before and after the digits, in any order and with blanks between: at most one sign ("+" or
  // "-", before or after the number, or the number in parentheses) and one currency symbol.
  char sign = 0;
  bool currency = false;
  std::string_view symbol = forms.currency_symbol;
  auto read_sign_and_currency = [&](bool after_number) {
    for (;;) {
      at = skip_white(s, at);
      if (at >= s.size()) return;
      char c = s[at];
      if (!currency && !symbol.empty() && s.substr(at).starts_with(symbol)) {
        currency = true;
        at += symbol.size();
      } else if (sign == 0 && (c == '+' || c == '-' || (c == '(' && !after_number))) {
        sign = c;
        ++at;
      } else if (after_number && sign == '(' && c == ')') {
        sign = '-';
        ++at;
      } else {
        return;
      }
    }
  };
  read_sign_and_currency(false);
  DecimalParts parts;
  std::string_view thousands = forms.thousands_separator;
  std::string_view decimal = forms.decimal_separator;
  // The thousands separator counts for nothing anywhere after the first digit of the whole part,
  // as the Windows number parser reads it: "1.2.3" is 123 where "." separates the thousands.
  while (at < s.size()) {
    if (is_digit(s[at])) {
      parts.whole += s[at++];
    } else if (!thousands.empty() && !parts.whole.empty() && s.substr(at).starts_with(thousands)) {
      at += thousands.size();
    } else {
      break;
    }
  }
  if (!decimal.empty() && s.substr(at).starts_with(decimal)) {
    at += decimal.size();
    while (at < s.size() && is_digit(s[at])) parts.fraction += s[at++];
  }
  if (parts.whole.empty() && parts.fraction.empty()) return std::nullopt;
  read_exponent(s, at, parts);
  read_sign_and_currency(true);
  if (at != s.size() || sign == '(') return std::nullopt;
  parts.negative = sign == '-';
  return decimal_value(parts);
}

Long to_long(const JetValue& value, const NumberForms& forms) {
  if (value.is_null()) fail(failure::kInvalidUseOfNull);
  if (value.is_text()) {
    std::optional<double> number = regional_number(value.as_text(), forms);
    if (!number) fail(failure::kTypeMismatch);
    return round_to_long(*number);
  }
  switch (value.type()) {
    case JetType::currency: {
      // Exactly, from the ten-thousandths.
      std::int64_t v = value.as_integer();
      std::int64_t whole = v / 10000;
      std::int64_t rest = v % 10000;
      if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) ++whole;
      if (rest < -5000 || (rest == -5000 && whole % 2 != 0)) --whole;
      if (whole < std::numeric_limits<Long>::min() || whole > std::numeric_limits<Long>::max()) {
        fail(failure::kOverflow);
      }
      return static_cast<Long>(whole);
    }
    case JetType::boolean:
    case JetType::byte:
    case JetType::integer:
    case JetType::long_integer:
    case JetType::single:
    case JetType::double_precision:
    case JetType::date_time:
      return round_to_long(value.as_number());
    default:
      fail(failure::kTypeMismatch);
  }
}

std::string number_text(double number, const NumberForms& forms) {
  return general_form(number, 15, forms);
}

std::string value_text(const JetValue& value, Platform& platform) {
  if (value.is_null()) fail(failure::kInvalidUseOfNull);
  if (value.is_text()) return value.as_text();
  if (std::optional<std::string> text = number_value_text(value, number_forms(platform))) {
    return *text;
  }
  switch (value.type()) {
    case JetType::boolean:
      return value.as_number() != 0 ? "True" : "False";
    case JetType::date_time:
      return date_time_text(value.as_number(), platform);
    default:
      fail(failure::kTypeMismatch);
  }
}

double leading_number_of(const JetValue& value, Platform& platform) {
  if (!value.is_null() && !value.is_text()) {
    if (std::optional<std::string> text = number_value_text(value, NumberForms{".", ""})) {
      return leading_number(*text);
    }
  }
  return leading_number(value_text(value, platform));
}

}  // namespace qano
