// What the Linux platform's own files share (posix_platform.cpp, posix_numbered.cpp,
// posix_regional.cpp, process.cpp): host paths, the failure numbers of errno values and the
// locale of the regional forms. Not for callers of the platform.
#pragma once

#include <locale.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/failure.h"
#include "platform/posix/posix_platform.h"
#include "platform/system/posix_syscalls.h"

namespace qano::posix {

bool is_folder(const std::string& path);
std::string join(const std::string& folder, const std::string& name);
// The entry of `folder` whose name equals `name` without regard to case, the exact one first;
// nothing when there is none. Out of descriptors is a failure.
std::optional<std::string> find_entry(const std::string& folder, const std::string& name);
// The real path of an existing entry, or empty.
std::string real_path(const std::string& path);
std::string env(const char* name);
// The number of a failed open, delete or change of a file from its errno value.
int open_failure_number(int error);
// A failure whose text names the DOS path it concerns.
Failure named(int number, const std::string& doing, const std::string& path);

}  // namespace qano::posix

namespace qano {

// The regional forms: LC_TIME, LC_NUMERIC and LC_MONETARY of a locale, or the shops' forms under
// C/POSIX (a null locale).
struct PosixPlatform::Locale {
  locale_t time = static_cast<locale_t>(0);
  locale_t numeric = static_cast<locale_t>(0);
  locale_t monetary = static_cast<locale_t>(0);

  explicit Locale(const std::string& chosen);
  ~Locale();
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
};

}  // namespace qano
