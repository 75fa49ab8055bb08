#include "startup/activity_log.h"

namespace qano {

namespace {
std::string digits(int value, int width) {
  std::string s = std::to_string(value < 0 ? 0 : value);
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s.substr(s.size() - static_cast<std::size_t>(width));
}

// A path as one record shows it: a control character (a CR LF in a database's text) would end
// the line there and let whatever follows pass for a record of its own.
std::string visible(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}
}  // namespace

void ActivityLog::open(SessionSettings& settings) {
  // Day, month and year as two, two and four digits, from the date itself: the name is the same
  // whatever short date the workstation's regional settings give (its stamps keep that one).
  Date today = platform_.today();
  settings.file_log = std::string(kPathPrefix) + digits(today.day, 2) + digits(today.month, 2) +
                      digits(today.year, 4) + ".txt";
  // Appending also when the file is missing or cannot be seen (hidden): an earlier run's lines
  // are never truncated away.
  platform_.open_append(kFileNumber, settings.file_log);
}

void ActivityLog::stamped(const std::string& literal) {
  std::string stamp =
      platform_.short_date(platform_.today()) + "-" + platform_.long_time(platform_.time_of_day());
  platform_.write_line(kFileNumber, stamp + literal);
}

void ActivityLog::database_opened(const std::string& path) {
  stamped(std::string(kDatabaseOpened) + visible(path));
}

void ActivityLog::plain(const std::string& literal) {
  platform_.write_line(kFileNumber, literal);
}

}  // namespace qano
