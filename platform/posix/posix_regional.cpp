// The Linux platform's clock and regional forms (from the locale, the shops' forms under C),
// its message box without a window (standard error) and its one-program-per-prefix claim.
#include <glib.h>
#include <langinfo.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <iostream>

#include "platform/posix/posix_internal.h"
#include "platform/support/regional/regional_fallback.h"

namespace qano {

using posix::sys;

namespace {
locale_t open_locale(int mask, const std::string& name) {
  if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) {
    return static_cast<locale_t>(0);
  }
  return ::newlocale(mask, name.c_str(), static_cast<locale_t>(0));
}

std::tm local_now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

std::string format_time(locale_t loc, const char* format, const std::tm& tm) {
  char buffer[128];
  std::size_t n = ::strftime_l(buffer, sizeof buffer, format, &tm, loc);
  return std::string(buffer, n);
}
}  // namespace

PosixPlatform::Locale::Locale(const std::string& chosen) {
  auto pick = [&](const char* category) {
    if (!chosen.empty()) return chosen;
    for (const char* var : {"LC_ALL", category, "LANG"}) {
      std::string v = posix::env(var);
      if (!v.empty()) return v;
    }
    return std::string("C");
  };
  time = open_locale(LC_TIME_MASK, pick("LC_TIME"));
  numeric = open_locale(LC_NUMERIC_MASK, pick("LC_NUMERIC"));
  monetary = open_locale(LC_MONETARY_MASK, pick("LC_MONETARY"));
}

PosixPlatform::Locale::~Locale() {
  if (time) ::freelocale(time);
  if (numeric) ::freelocale(numeric);
  if (monetary) ::freelocale(monetary);
}

Date PosixPlatform::today() {
  std::tm tm = local_now();
  return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

TimeOfDay PosixPlatform::time_of_day() {
  std::tm tm = local_now();
  return TimeOfDay{tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PosixPlatform::short_date(const Date& date) {
  if (!locale_->time) return fallback::short_date(date);
  std::tm tm{};
  tm.tm_year = date.year - 1900;
  tm.tm_mon = date.month - 1;
  tm.tm_mday = date.day;
  return format_time(locale_->time, "%x", tm);
}

std::string PosixPlatform::long_time(const TimeOfDay& time) {
  if (!locale_->time) return fallback::long_time(time);
  std::tm tm{};
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  return format_time(locale_->time, "%X", tm);
}

std::string PosixPlatform::decimal_separator() {
  if (!locale_->numeric) return fallback::kDecimalSeparator;
  return ::nl_langinfo_l(RADIXCHAR, locale_->numeric);
}

std::string PosixPlatform::thousands_separator() {
  if (!locale_->numeric) return fallback::kThousandsSeparator;
  return ::nl_langinfo_l(THOUSEP, locale_->numeric);
}

std::string PosixPlatform::currency_symbol() {
  if (!locale_->monetary) return fallback::kCurrencySymbol;
  return ::nl_langinfo_l(CURRENCY_SYMBOL, locale_->monetary);
}

// --- Message box ---------------------------------------------------------------------------

void PosixPlatform::message_box(const std::string& s) {
  // Without a window (qanocheck, a test): the text goes to standard error. The program's
  // window host shows its own box (app/program.h).
  std::cerr << kProgramName << ": " << s << std::endl;
  std::cerr.clear();  // a standard error that nobody reads any more is no failure
}

// --- One program at a time -----------------------------------------------------------------

bool PosixPlatform::claim_single_instance() {
  if (instance_socket_ >= 0) return true;
  std::string prefix = posix::real_path(prefix_);
  if (prefix.empty()) prefix = prefix_;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // An abstract name (a leading NUL): nothing in the file system, gone with the program. The
  // prefix's whole path goes into it as its SHA-256, which always fits: two prefixes whose paths
  // begin alike are two names.
  char* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, prefix.c_str(),
                                               static_cast<gssize>(prefix.size()));
  std::string name = std::string(1, '\0') + kProgramName + " " + digest;
  g_free(digest);
  std::memcpy(address.sun_path, name.data(), name.size());
  int fd = sys().socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) fail(posix::open_failure_number(errno), "cannot claim the Wine prefix " + prefix_);
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  if (sys().bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    int error = errno;
    sys().close(fd);
    if (error == EADDRINUSE) return false;
    fail(posix::open_failure_number(error), "cannot claim the Wine prefix " + prefix_);
  }
  instance_socket_ = fd;
  return true;
}

}  // namespace qano
