// ForTesting: replaces one entry of a platform's call table for as long as the guard lives, and
// puts the one that was there back when it ends. Each platform names its own guard over its own
// table (posix_syscalls_for_testing.h, win32_calls_for_testing.h). For tests only.
#pragma once

#include <type_traits>

namespace qano::system {

// `table` is the function that hands out the table to be changed; `entry` one of its members.
template <auto table, auto entry>
class ReplacedEntry {
 public:
  using Function = std::remove_reference_t<decltype(table().*entry)>;
  explicit ReplacedEntry(Function replacement) : saved_(table().*entry) {
    table().*entry = replacement;
  }
  ~ReplacedEntry() { table().*entry = saved_; }
  ReplacedEntry(const ReplacedEntry&) = delete;
  ReplacedEntry& operator=(const ReplacedEntry&) = delete;
  // The entry that was in place before, for a replacement that hands some calls on.
  Function saved() const { return saved_; }

 private:
  Function saved_;
};

}  // namespace qano::system
