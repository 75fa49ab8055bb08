// The Windows platform's clock and regional forms (the user's regional settings, the shops'
// forms for a date that Windows does not format), its message box and its drives.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "platform/support/regional/regional_fallback.h"
#include "platform/win32/wide.h"

namespace qano {

using win32::from_wide;
using win32::to_wide;

namespace {

std::string locale_info(LCTYPE type, const char* otherwise) {
  wchar_t buffer[16];
  int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16);
  if (n <= 1) return otherwise;
  return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
}

}  // namespace

// --- Clock and regional forms --------------------------------------------------------------

Date Win32Platform::today() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return Date{st.wYear, st.wMonth, st.wDay};
}

TimeOfDay Win32Platform::time_of_day() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return TimeOfDay{st.wHour, st.wMinute, st.wSecond};
}

std::string Win32Platform::short_date(const Date& date) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  wchar_t buffer[96];
  int n =
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 96, nullptr);
  if (n > 1) return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
  // A date the system does not format (before 1601): the shops' form.
  return fallback::short_date(date);
}

std::string Win32Platform::long_time(const TimeOfDay& time) {
  SYSTEMTIME st{};
  st.wYear = 2000;
  st.wMonth = 1;
  st.wDay = 1;
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  wchar_t buffer[96];
  int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buffer, 96);
  if (n > 1) return from_wide(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
  return fallback::long_time(time);
}

std::string Win32Platform::decimal_separator() {
  return locale_info(LOCALE_SDECIMAL, fallback::kDecimalSeparator);
}

std::string Win32Platform::thousands_separator() {
  return locale_info(LOCALE_STHOUSAND, fallback::kThousandsSeparator);
}

std::string Win32Platform::currency_symbol() {
  return locale_info(LOCALE_SCURRENCY, fallback::kCurrencySymbol);
}

// --- Message box ---------------------------------------------------------------------------

void Win32Platform::message_box(const std::string& s) {
  // A box without an owner (qanocheck, a test); the program's window host shows its own, owned
  // by its window (app/program.h).
  MessageBoxW(nullptr, to_wide(s).c_str(), to_wide(kProgramName).c_str(), MB_OK | MB_TASKMODAL);
}

// --- Drives --------------------------------------------------------------------------------

std::string Win32Platform::current_drive() {
  std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
  cwd.resize(cwd.empty() ? 0 : GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  if (cwd.size() >= 2 && cwd[1] == L':' &&
      ((cwd[0] >= L'a' && cwd[0] <= L'z') || (cwd[0] >= L'A' && cwd[0] <= L'Z'))) {
    return {static_cast<char>(cwd[0] | 0x20), ':'};
  }
  // A working directory on a network share: the system drive, as the drive list shows then.
  return "c:";
}

std::optional<std::string> Win32Platform::drives_note() {
  return std::nullopt;  // the drives are the system's own
}

std::vector<std::string> Win32Platform::drives() {
  std::vector<std::string> result;
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((mask & (DWORD{1} << i)) != 0) result.push_back({static_cast<char>('a' + i), ':'});
  }
  return result;
}

}  // namespace qano
