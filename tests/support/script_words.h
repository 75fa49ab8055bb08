// The words that the command interpreter must read from each line of a claim's unpack script
// (read_batch_line), shared by the script's tests and its fuzz target: the intended commands, on
// exactly that claim's files and nothing else.
#pragma once

#include <string>
#include <vector>

#include "intake/claim.h"

namespace qano::test {

inline std::vector<std::vector<std::string>> script_words(const intake::Claim& claim) {
  using intake::in_script;
  const std::string claimed = in_script(claim.claimed());
  const std::string filed = in_script(claim.filed());
  return {
      {"REM", "echo", "off"},
      {"cd", in_script(claim.folder())},
      {"c:\\programmi\\winzip\\wzunzip", claimed, "acq_var.txt"},
      {"if", "not", "errorlevel", "1", "move", "/y", claimed, filed},
      {"if", "exist", filed, "move", "/y", in_script(claim.unpacked()),
       "c:\\qano\\fatture\\acq_var.txt"},
  };
}

}  // namespace qano::test
