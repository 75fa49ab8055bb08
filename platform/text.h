// Text services that every implementation of the platform needs: Unicode case folding and
// upper-casing, the ANSI code page, and DOS wildcard matching. All text is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qano::text {

// Case-folded form for case-insensitive comparison of names: "SOCIETÀ" and "società" fold alike.
std::string fold(std::string_view utf8);
bool equal_ignoring_case(std::string_view a, std::string_view b);
// Upper case, Unicode-aware ("c:\società" -> "C:\SOCIETÀ").
std::string upper(std::string_view utf8);
// Windows-1252 bytes of a text; each character it lacks (and each invalid byte) becomes '?'.
std::string to_ansi(std::string_view utf8);
// The text of Windows-1252 bytes.
std::string from_ansi(std::string_view ansi);
// Whether every character of the text has a place in Windows-1252.
bool fits_ansi(std::string_view utf8);
// UTF-16, the text of Windows' wide calls (the Access driver's among them), from UTF-8 and back;
// each invalid sequence becomes U+FFFD.
std::u16string to_utf16(std::string_view utf8);
std::string from_utf16(std::u16string_view utf16);
// The length in bytes of the whole UTF-8 sequence that starts at `at`: 1 to 4, or 0 when the
// byte there starts none or the sequence is cut short or broken.
std::size_t utf8_sequence_length(std::string_view utf8, std::size_t at);
// DOS wildcard match of a bare name: * is any run of characters, ? any one character, and
// letters compare case-insensitively.
bool wildcard_match(std::string_view pattern, std::string_view name);

// The same match for many names against one pattern, folding the pattern once.
class Wildcard {
 public:
  explicit Wildcard(std::string_view pattern);
  bool matches(std::string_view name) const;

 private:
  std::u32string pattern_;
  std::optional<std::string> ascii_pattern_;  // the folded pattern when it is plain ASCII
  bool everything_ = false;                   // "*": every name
};

}  // namespace qano::text
