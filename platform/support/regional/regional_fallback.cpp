#include "platform/support/regional/regional_fallback.h"

namespace qano::fallback {
namespace {
// The last `digits` digits of `v`, with leading zeros.
std::string digits_of(int v, int digits) {
  std::string s(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, v /= 10)
    s[static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
  return s;
}
}  // namespace

std::string short_date(const Date& date) {
  return digits_of(date.day, 2) + "/" + digits_of(date.month, 2) + "/" + digits_of(date.year, 4);
}

std::string long_time(const TimeOfDay& time) {
  return digits_of(time.hour, 2) + ":" + digits_of(time.minute, 2) + ":" +
         digits_of(time.second, 2);
}

}  // namespace qano::fallback
