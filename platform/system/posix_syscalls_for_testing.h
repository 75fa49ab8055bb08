// ForTesting: replaces one entry of the Linux platform's system-call table (syscalls.h) for as
// long as the guard lives, and puts the system's own back when it ends. For tests only.
//
//   ReplacedSyscall<&Syscalls::write> full(
//       [](int, const void*, size_t) -> ssize_t { errno = ENOSPC; return -1; });
#pragma once

#include "platform/system/posix_syscalls.h"
#include "platform/system/replaced_entry.h"

namespace qano::posix {

// The table itself, to be changed.
Syscalls& syscalls_for_testing();

template <auto Syscalls::*entry>
using ReplacedSyscall = qano::system::ReplacedEntry<&syscalls_for_testing, entry>;

}  // namespace qano::posix
