#include "platform/system/win32_calls.h"

#include "platform/system/win32_calls_for_testing.h"

namespace qano::win32 {

namespace {
Calls table = {
    ::CreateFileW,
    ::WriteFile,
    ::SetFileInformationByHandle,
    ::GetFileInformationByHandle,
    ::FindFirstFileExW,
    ::FindNextFileW,
    ::CreateProcessW,
    ::CreateDirectoryW,
    ::RemoveDirectoryW,
    ::DeleteFileW,
    ::GetFileAttributesW,
    ::GetFileAttributesExW,
    ::SetFileAttributesW,
};
}  // namespace

const Calls& calls() {
  return table;
}

Calls& calls_for_testing() {
  return table;
}

}  // namespace qano::win32
