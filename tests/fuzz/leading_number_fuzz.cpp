// The leading-number reader and the roundings that follow it at start-up, on any text: each gives
// a finite number or failure 6 "Overflow", never anything else, and the result does not depend on
// blanks or on what follows the number.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "startup/conversions.h"

namespace {

// The number, or nothing and the failure's number in `failure`.
std::optional<double> read(std::string_view text, int& failure) {
  failure = 0;
  try {
    return qano::leading_number(text);
  } catch (const qano::Failure& f) {
    failure = f.number();
    return std::nullopt;
  }
}

void check(bool condition) {
  if (!condition) std::abort();
}

// Whether `s` (blanks removed) is exactly [sign] digits [. digits] [e [sign] digits], the form
// that strtod reads the same way.
bool plain_decimal(const std::string& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t e = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++e;
    if (e == 0) return false;
  }
  return i == s.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  int failure = 0;
  std::optional<double> number = read(text, failure);
  if (!number) {
    check(failure == qano::failure::kOverflow);
  } else {
    check(std::isfinite(*number));
  }

  // Nothing after the number changes it: "x" cannot continue any number.
  int failure_x = 0;
  std::optional<double> with_x = read(text + "x", failure_x);
  check(failure_x == failure);
  if (number) check(with_x && *with_x == *number);

  // Blanks, tabs and line feeds are removed before the number is read.
  std::string blanks = text;
  blanks.insert(size / 2, " \t\n");
  int failure_blanks = 0;
  std::optional<double> with_blanks = read(blanks, failure_blanks);
  check(failure_blanks == failure);
  if (number) check(with_blanks && *with_blanks == *number);

  // A plain decimal number reads as the C library reads it.
  std::string stripped;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') stripped += c;
  }
  if (number && plain_decimal(stripped) && stripped.size() < 200) {
    errno = 0;
    double expected = std::strtod(stripped.c_str(), nullptr);
    if (errno == 0) check(*number == expected);
  }

  // Rounding to Integer and Long: the nearest whole number within the type, else 6.
  if (number) {
    for (int bits : {16, 32}) {
      try {
        double r = bits == 16 ? qano::round_to_integer(*number) : qano::round_to_long(*number);
        check(std::fabs(r - *number) <= 0.5);
      } catch (const qano::Failure& f) {
        check(f.number() == qano::failure::kOverflow);
        check(std::fabs(*number) > (bits == 16 ? 32767.0 : 2147483647.0));
      }
    }
  }

  // The regional reading of the same text (a Long column stored as text): a number or nothing.
  for (const qano::NumberForms& forms :
       {qano::NumberForms{",", "."}, qano::NumberForms{".", ","}}) {
    try {
      std::optional<double> regional = qano::regional_number(text, forms);
      if (regional) check(std::isfinite(*regional));
    } catch (const qano::Failure& f) {
      check(f.number() == qano::failure::kOverflow);
    }
  }
  return 0;
}
