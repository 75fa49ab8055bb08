// ForTesting: replaces one entry of the Linux platform's system-call table (syscalls.h) for as
// long as the guard lives, and puts the system's own back when it ends. For tests only.
//
//   ReplacedSyscall<&Syscalls::write> full(
//       [](int, const void*, size_t) -> ssize_t { errno = ENOSPC; return -1; });
#pragma once

#include <type_traits>

#include "platform/system/posix_syscalls.h"

namespace qano::posix {

// The table itself, to be changed.
Syscalls& syscalls_for_testing();

template <auto Syscalls::*entry>
class ReplacedSyscall {
 public:
  using Function = std::remove_reference_t<decltype(syscalls_for_testing().*entry)>;
  explicit ReplacedSyscall(Function replacement) : saved_(syscalls_for_testing().*entry) {
    syscalls_for_testing().*entry = replacement;
  }
  ~ReplacedSyscall() { syscalls_for_testing().*entry = saved_; }
  ReplacedSyscall(const ReplacedSyscall&) = delete;
  ReplacedSyscall& operator=(const ReplacedSyscall&) = delete;
  // The entry that was in place before, for a replacement that hands some calls on.
  Function saved() const { return saved_; }

 private:
  Function saved_;
};

}  // namespace qano::posix
