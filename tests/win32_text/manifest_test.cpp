// Every program carries its manifest, so it runs as its invoker without file virtualization, and
// its version resource: the product and the project's version in the file's properties.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/version.h"
#include "platform/win32/wide.h"

namespace {

const char* const kPrograms[] = {QANO_QANOCONTROL, QANO_QANOCHECK, QANO_JETQUERY};

TEST(Manifest, EveryProgramRunsAsInvoker) {
  for (const std::string program : kPrograms) {
    HMODULE image = LoadLibraryExW(qano::win32::to_wide(program).c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << program;
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << program << ": no manifest";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
    std::string manifest(bytes, SizeofResource(image, found));
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos)
        << program;
    FreeLibrary(image);
  }
}

// A text of the version resource's English block, or empty.
std::wstring version_text(const std::vector<unsigned char>& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
      length == 0) {
    return L"";
  }
  return std::wstring(value, length - 1);
}

TEST(VersionResource, EveryProgramTellsItsProductAndVersion) {
  for (const std::string program : kPrograms) {
    std::wstring path = qano::win32::to_wide(program);
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << program << ": no version resource";
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data())) << program;
    EXPECT_EQ(version_text(info, L"ProductName"), L"qanocontrol") << program;
    EXPECT_EQ(qano::win32::from_wide(version_text(info, L"ProductVersion")), qano::kVersion)
        << program;
    EXPECT_EQ(qano::win32::from_wide(version_text(info, L"FileVersion")), qano::kVersion)
        << program;
    EXPECT_FALSE(version_text(info, L"FileDescription").empty()) << program;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, qano::kVersion) << program;
  }
}

}  // namespace
