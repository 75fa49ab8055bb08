#include "intake/unpack_script.h"

#include <algorithm>

#include "intake/claim.h"
#include "platform/text.h"

namespace qano::intake {

std::string why_not_in_script(std::string_view name) {
  if (name.empty()) return "it has no name";
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return "its name holds a control character";
    if (u > 0x7F) return "its name has letters outside plain ASCII; rename it to take it";
    if (std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos) {
      return "its name holds a character that Windows forbids in a name";
    }
  }
  if (name.back() == ' ' || name.back() == '.') {
    return "its name ends in a blank or a dot, which Windows drops";
  }
  return "";
}

bool can_name_in_script(std::string_view name) {
  return why_not_in_script(name).empty();
}

bool is_plain_name(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
  });
}

namespace {

// A name inside double quotes: only % keeps a meaning there, and a batch file reads %% as %.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out + "\"";
}

}  // namespace

std::string script_path(std::string_view folder, std::string_view name) {
  std::string path = std::string(folder) + std::string(name);
  return is_plain_name(name) ? path : quoted(path);
}

std::string set_aside_name(std::string_view archive, const std::vector<std::string>& existing) {
  std::vector<std::string> taken;
  taken.reserve(existing.size());
  for (const std::string& name : existing) taken.push_back(text::fold(name));
  for (int k = 1;; ++k) {
    std::string candidate = std::string(kSetAsidePrefix) + "_" +
                            (k == 1 ? std::string() : std::to_string(k) + "_") +
                            std::string(archive);
    if (std::find(taken.begin(), taken.end(), text::fold(candidate)) == taken.end()) {
      return candidate;
    }
  }
}

std::string set_aside_pattern(std::string_view archive) {
  return std::string(kArchiveFolder) + kSetAsidePrefix + "*_" + std::string(archive);
}

std::vector<std::string> unpack_script(const Claim& claim) {
  std::string folder = in_script(claim.folder()) + "\\";
  std::string archive = script_path(folder, claim.archive);
  std::string filed = script_path(in_script(kFiledFolder) + "\\", claim.filed_name());
  return {
      kLine1,
      kLine2 + in_script(claim.folder()),
      kUnzipCommand + archive + " " + kInvoicesName,
      kLine4 + archive + " " + filed,
      kLine5 + filed + kMove + folder + kInvoicesName + " " + kInvoicesInScript,
  };
}

}  // namespace qano::intake
