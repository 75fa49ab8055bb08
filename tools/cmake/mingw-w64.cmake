# Cross-building the Windows programs on Debian with MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=tools/cmake/mingw-w64.cmake
# The -posix compilers give std::thread and std::mutex (GoogleTest uses them); every program is
# linked statically, so a shop copies one .exe and installs no runtime. Test programs run under
# Wine (tools/scripts/wine-run.sh), in the prefix that the test run makes.
set(CMAKE_SYSTEM_NAME Windows)
# 64-bit by default; tools/cmake/mingw-w64-i686.cmake sets the 32-bit triple and includes this.
if(NOT QANO_MINGW_TRIPLE)
  set(QANO_MINGW_TRIPLE x86_64-w64-mingw32)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${QANO_MINGW_TRIPLE})
set(CMAKE_C_COMPILER ${QANO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QANO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QANO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QANO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 and later (GetDateFormatEx, LCMapStringEx); the wide-character API throughout.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

get_filename_component(QANO_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QANO_SOURCE_ROOT}/tools/scripts/wine-run.sh)
