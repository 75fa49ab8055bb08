// A claim: an archive that the intake has moved out of the exchange folder C:\qano into a folder
// of the program's own, C:\qano\qanocontrol\<id>, before anything else is done with it. From then
// on the archive is known by the claim, never by a name in C:\qano, where others write: a new
// delivery under the same name is a new archive. The folder holds the claimed archive and, once
// its script has unpacked it, acq_var.txt; the script keeps the archive among the filed ones in
// C:\qano\qanocontrol\archiviati as <id>_<archive> and then files the invoices. What stands in a
// claim's folder tells how far its script came, so a claim survives the program being stopped.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace qano::intake {

inline constexpr const char* kWorkFolder = "C:\\qano\\qanocontrol";
inline constexpr const char* kFiledFolder = "C:\\qano\\qanocontrol\\archiviati";
// A companion start owed to a claim: C:\qano\qanocontrol\<id>_<archive> and this.
inline constexpr const char* kOwedSuffix = ".companion";

struct Claim {
  std::string id;       // "20261210-135012", "20261210-135012-2", ...
  std::string archive;  // the archive's name as it arrived in C:\qano

  std::string folder() const;      // C:\qano\qanocontrol\<id>
  std::string claimed() const;     // the archive in the claim's folder
  std::string unpacked() const;    // acq_var.txt in the claim's folder
  std::string filed_name() const;  // <id>_<archive>
  std::string filed() const;       // C:\qano\qanocontrol\archiviati\<id>_<archive>
};

// The id of a claim made at `date` and `time`: yyyymmdd-hhmmss, with "-<serial>" from the second
// claim of the same second on, up to kLastSerial; at most kLongestClaimId characters.
inline constexpr int kLastSerial = 9999;
inline constexpr std::size_t kLongestClaimId = 20;
std::string claim_id(const Date& date, const TimeOfDay& time, int serial);
// The length of the longest path a claim of `archive` writes into its script: its kept name.
std::size_t longest_claim_path(std::string_view archive);
// Whether a name in C:\qano\qanocontrol is a claim's folder.
bool is_claim_id(std::string_view name);

// A DOS path as the script writes it: the drive letter in lower case, as in the classic lines.
std::string in_script(std::string_view path);

}  // namespace qano::intake
