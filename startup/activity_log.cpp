#include "startup/activity_log.h"

namespace qano {

void ActivityLog::open(SessionSettings& settings) {
  // dd, mm and yyyy are characters 1-2, 4-5 and 7-10 of the short date; today is read for each.
  std::string dd = platform_.short_date(platform_.today()).substr(0, 2);
  std::string mm = platform_.short_date(platform_.today()).substr(3, 2);
  std::string yyyy = platform_.short_date(platform_.today()).substr(6, 4);
  settings.file_log = std::string(kPathPrefix) + dd + mm + yyyy + ".txt";
  // Appending also when the file is missing or cannot be seen (hidden): an earlier run's lines
  // are never truncated away.
  platform_.open_append(kFileNumber, settings.file_log);
}

void ActivityLog::stamped(const std::string& literal) {
  std::string stamp =
      platform_.short_date(platform_.today()) + "-" + platform_.long_time(platform_.time_of_day());
  platform_.write_line(kFileNumber, stamp + literal);
}

void ActivityLog::plain(const std::string& literal) {
  platform_.write_line(kFileNumber, literal);
}

}  // namespace qano
