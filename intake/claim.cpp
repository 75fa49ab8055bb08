#include "intake/claim.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "intake/unpack_script.h"

namespace qano::intake {

std::string Claim::folder() const {
  return std::string(kWorkFolder) + "\\" + id;
}
std::string Claim::claimed() const {
  return folder() + "\\" + archive;
}
std::string Claim::unpacked() const {
  return folder() + "\\" + kInvoicesName;
}
std::string Claim::filed_name() const {
  return id + "_" + archive;
}
std::string Claim::filed() const {
  return std::string(kFiledFolder) + "\\" + filed_name();
}

std::string claim_id(const Date& date, const TimeOfDay& time, int serial) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", date.year % 10000,
                date.month % 100, date.day % 100, time.hour % 100, time.minute % 100,
                time.second % 100);
  std::string id = stamp;
  if (serial > 1) id += "-" + std::to_string(serial);
  return id;
}

std::size_t longest_claim_path(std::string_view archive) {
  // C:\qano\qanocontrol\archiviati\ + the longest id + "_" + the archive's name.
  return std::strlen(kFiledFolder) + 1 + kLongestClaimId + 1 + archive.size();
}

bool is_claim_id(std::string_view name) {
  // yyyymmdd-hhmmss, then nothing or "-" and a serial.
  if (name.size() < 15 || name[8] != '-') return false;
  for (std::size_t i = 0; i < 15; ++i) {
    if (i != 8 && !std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  if (name.size() == 15) return true;
  if (name[15] != '-' || name.size() == 16) return false;
  for (std::size_t i = 16; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

std::string in_script(std::string_view path) {
  std::string out(path);
  if (out.size() >= 2 && out[1] == ':') {
    out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
  }
  return out;
}

}  // namespace qano::intake
