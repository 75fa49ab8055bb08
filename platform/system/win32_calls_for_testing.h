// ForTesting: replaces one entry of the Windows platform's call table (win32_calls.h) for as
// long as the guard lives, and puts the system's own back when it ends. For tests only. The
// replacement is a WINAPI function that sets the last error and fails as the system would:
//
//   HANDLE WINAPI refused(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
//     SetLastError(ERROR_ACCESS_DENIED);
//     return INVALID_HANDLE_VALUE;
//   }
//   ReplacedCall<&Calls::CreateFileW> denied(refused);
#pragma once

#include "platform/system/replaced_entry.h"
#include "platform/system/win32_calls.h"

namespace qano::win32 {

// The table itself, to be changed.
Calls& calls_for_testing();

template <auto Calls::*entry>
using ReplacedCall = qano::system::ReplacedEntry<&calls_for_testing, entry>;

}  // namespace qano::win32
