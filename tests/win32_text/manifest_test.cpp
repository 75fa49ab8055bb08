// The console programs carry their manifest: they run as their invoker, without file
// virtualization.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide.h"

namespace {

TEST(Manifest, TheConsoleProgramsRunAsInvoker) {
  for (const std::string program : {QANO_QANOCHECK, QANO_JETQUERY}) {
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

}  // namespace
