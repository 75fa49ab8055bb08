// The value conversions that start-up applies to what it reads from the databases: the leading
// number of a text, rounding to Integer and Long, and the text forms of numbers and of column
// values. They fail like every untrapped failure: 6 "Overflow", 13 "Type mismatch", 94 "Invalid
// use of Null".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/jet/jet.h"
#include "platform/platform.h"
#include "startup/session_settings.h"

namespace qano {

// The workstation's number forms: ",", "." and "€" on the shops' workstations.
struct NumberForms {
  std::string decimal_separator = ",";
  std::string thousands_separator = ".";
  std::string currency_symbol = "€";
};
NumberForms number_forms(Platform& platform);

// The number a text begins with. Every blank, tab and line feed is removed first; then an
// optional sign, digits, an optional "." with more digits and an optional exponent (E or D,
// optional sign, digits) are read, up to the first character that cannot continue the number.
// "&H" and "&O" read a hexadecimal or octal integer. "." is the only decimal point, whatever the
// regional settings. No number at the start gives 0. A number beyond a Double is 6.
double leading_number(std::string_view text);

// To the nearest whole number, ties to the even neighbour; outside the type's range is 6.
Integer round_to_integer(double number);
Long round_to_long(double number);

// A text that reads as a number under the regional settings, as the Windows number parser reads
// it: digits, where the thousands separator counts for nothing anywhere after the first one
// ("1.2.3" is 123, "3.5" is 35 where "." separates the thousands), an optional decimal separator
// with digits, an optional exponent (E or D); around them white space, at most one currency
// symbol and one sign ("+" or "-" before or after the number, or parentheses for "-"). Or
// "&H"/"&O" with hexadecimal or octal digits, the 32 bits of a Long (&HFFFFFFFF is -1; more is 6).
// Nothing when the text is anything else.
std::optional<double> regional_number(std::string_view text, const NumberForms& forms);

// A column value converted to Long: a number rounded (ties to even), a Boolean as 0 or -1, a
// Date/Time as its day number, a text that reads as a regional number likewise; a text that does
// not is 13, a Null is 94, beyond 32 bits is 6.
Long to_long(const JetValue& value, const NumberForms& forms);

// The shortest decimal form of a number with up to 15 significant digits, no grouping, the
// regional decimal separator; exponent form ("1E+15", "1E-05") beyond the reach of 15 digits.
std::string number_text(double number, const NumberForms& forms);

// The text of a column value: a text as stored; a number in its text form (a Single with the 7
// digits it holds, a Currency with up to four decimals); a Boolean as "True" or "False"; a
// Date/Time as the short date, the long time, or both with a blank between (the time is left
// out at midnight, the date on 30/12/1899, the day 0). A Null is 94; a column of another kind
// (binary, GUID) is 13.
std::string value_text(const JetValue& value, Platform& platform);

// The leading number of the text of a value. A number stands for itself: its text is read with
// "." as the decimal point, so that a stored 3.5 is 3.5 on a workstation that writes it "3,5".
double leading_number_of(const JetValue& value, Platform& platform);

}  // namespace qano
