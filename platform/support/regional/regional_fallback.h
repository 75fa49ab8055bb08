// The shops' regional forms, for when the host gives none: a C locale on Linux, a date that
// Windows does not format. dd/mm/yyyy, HH:MM:SS, decimal comma, "." between thousands, "€".
#pragma once

#include <string>

#include "platform/platform.h"

namespace qano::fallback {

inline constexpr const char* kDecimalSeparator = ",";
inline constexpr const char* kThousandsSeparator = ".";
inline constexpr const char* kCurrencySymbol = "€";

std::string short_date(const Date& date);      // "09/12/2026"
std::string long_time(const TimeOfDay& time);  // "08:05:03"

}  // namespace qano::fallback
