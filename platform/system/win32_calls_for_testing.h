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

#include <type_traits>

#include "platform/system/win32_calls.h"

namespace qano::win32 {

// The table itself, to be changed.
Calls& calls_for_testing();

template <auto Calls::*entry>
class ReplacedCall {
 public:
  using Function = std::remove_reference_t<decltype(calls_for_testing().*entry)>;
  explicit ReplacedCall(Function replacement) : saved_(calls_for_testing().*entry) {
    calls_for_testing().*entry = replacement;
  }
  ~ReplacedCall() { calls_for_testing().*entry = saved_; }
  ReplacedCall(const ReplacedCall&) = delete;
  ReplacedCall& operator=(const ReplacedCall&) = delete;
  // The entry that was in place before, for a replacement that hands some calls on.
  Function saved() const { return saved_; }

 private:
  Function saved_;
};

}  // namespace qano::win32
