// DOS wildcard matching of bare names, on the host's case folding (platform/text.h), and the
// reading of UTF-8 sequences that it and the implementations share.
#include <algorithm>
#include <string>

#include "platform/text.h"

namespace qano::text {

std::size_t utf8_sequence_length(std::string_view utf8, std::size_t at) {
  auto lead = static_cast<unsigned char>(utf8[at]);
  std::size_t n = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (n == 0 || n > utf8.size() - at) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(utf8[at + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

namespace {

// The code points of valid UTF-8, as fold() gives it; a stray byte stands for itself.
std::u32string code_points(const std::string& utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t n = utf8_sequence_length(utf8, i);
    if (n == 0) {
      out.push_back(lead);
      ++i;
      continue;
    }
    char32_t c = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
    for (std::size_t k = 1; k < n; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out.push_back(c);
    i += n;
  }
  return out;
}

template <class Text>
bool match_from(const Text& p, std::size_t pi, const Text& n, std::size_t ni) {
  // Iterative matcher with a single backtrack point for the last '*': linear for the patterns
  // the program uses.
  std::size_t star = Text::npos, star_ni = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      star_ni = ni;
    } else if (star != Text::npos) {
      pi = star + 1;
      ni = ++star_ni;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
  return Wildcard(pattern).matches(name);
}

namespace {
bool is_ascii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}
}  // namespace

Wildcard::Wildcard(std::string_view pattern)
    : pattern_(code_points(fold(pattern))), everything_(pattern == "*") {
  std::string folded = fold(pattern);
  if (is_ascii(folded)) ascii_pattern_ = folded;
}

bool Wildcard::matches(std::string_view name) const {
  if (everything_) return true;
  std::string folded = fold(name);
  // Plain ASCII, as most names are: its bytes are its code points.
  if (ascii_pattern_ && is_ascii(folded)) return match_from(*ascii_pattern_, 0, folded, 0);
  return match_from(pattern_, 0, code_points(folded), 0);
}

}  // namespace qano::text
