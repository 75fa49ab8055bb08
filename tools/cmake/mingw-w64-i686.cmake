# The 32-bit Windows programs (Debian g++-mingw-w64-i686). A 32-bit program reaches the Access
# ODBC driver that comes with Windows itself, "Microsoft Access Driver (*.mdb)", which exists for
# 32-bit programs only; a 64-bit one needs the 64-bit Access Database Engine installed.
#   cmake -S . -B build/windows32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=tools/cmake/mingw-w64-i686.cmake
set(QANO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
