// A model of how the command interpreter reads one line of a batch file, shared by the unpack
// script's tests and its fuzz target.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qano::test {

// How the command interpreter reads one line of a batch file, as far as the script relies on it:
// %% becomes % and a lone % would start a variable; outside double quotes & | < > ^ are
// operators or escapes, ( and ) are words of their own, blanks, tabs, commas, semicolons and =
// separate words; the quotes are dropped. Nothing when the line would do more than name words.
inline std::optional<std::vector<std::string>> read_batch_line(std::string_view line) {
  std::string expanded;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\r' || line[i] == '\n' || line[i] == '\0') return std::nullopt;
    if (line[i] != '%') {
      expanded += line[i];
    } else if (i + 1 < line.size() && line[i + 1] == '%') {
      expanded += '%';
      ++i;
    } else {
      return std::nullopt;
    }
  }
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  auto end_word = [&] {
    if (in_word) words.push_back(word);
    word.clear();
    in_word = false;
  };
  for (char c : expanded) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (quoted) {
      word += c;
    } else if (std::string_view("&|<>^").find(c) != std::string_view::npos) {
      return std::nullopt;
    } else if (c == '(' || c == ')') {
      end_word();
      words.emplace_back(1, c);
    } else if (std::string_view(" \t,;=").find(c) != std::string_view::npos) {
      end_word();
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quoted) return std::nullopt;
  end_word();
  return words;
}

}  // namespace qano::test
