// The bookkeeping of numbered text files that every platform shares: which number holds which of
// the host's handles, the failures of a number out of range (52) or in use (55), a line in the
// form the file holds it, and closing them all.
#pragma once

#include <map>
#include <string>

#include "platform/failure.h"

namespace qano {

// The bytes of one line of a numbered file: Windows-1252, ended by CR LF.
std::string numbered_line_bytes(const std::string& utf8);

template <class Handle>
class NumberedFiles {
 public:
  using Close = void (*)(Handle&);
  explicit NumberedFiles(Close close) : close_(close) {}
  ~NumberedFiles() { close_all(); }
  NumberedFiles(const NumberedFiles&) = delete;
  NumberedFiles& operator=(const NumberedFiles&) = delete;

  // Fails as opening under `number` must before anything is looked at: 52 when the number is
  // outside 1..511, 55 when a file is open under it.
  void check_free(int number) const {
    if (number < 1 || number > 511) fail(failure::kBadFileNumber);
    if (open_.count(number) != 0) fail(failure::kFileAlreadyOpen);
  }
  void add(int number, Handle handle) { open_.emplace(number, std::move(handle)); }
  // The handle open under `number`; 52 when none is.
  Handle& at(int number) {
    auto it = open_.find(number);
    if (it == open_.end()) fail(failure::kBadFileNumber);
    return it->second;
  }
  const std::map<int, Handle>& all() const { return open_; }
  void close_all() {
    for (auto& [number, handle] : open_) close_(handle);
    open_.clear();
  }

 private:
  Close close_;
  std::map<int, Handle> open_;
};

}  // namespace qano
