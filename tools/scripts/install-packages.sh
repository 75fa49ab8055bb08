#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, when any is missing.
# Usage: install-packages.sh [group...]   groups: build (default), demo, windows, windows32, packages
set -euo pipefail

groups=("${@:-build}")
packages=()
for group in "${groups[@]}"; do
  case "$group" in
    build)
      packages+=(g++ cmake ninja-build pkg-config git libgtest-dev libgmock-dev libbenchmark-dev
                 libglib2.0-dev mdbtools mdbtools-dev nlohmann-json3-dev libfltk1.3-dev
                 unixodbc-dev odbc-mdbtools
                 xvfb xauth xdotool x11-utils clang-format
                 clang-14 libclang-rt-14-dev llvm-14) ;;  # libFuzzer and its symbolizer
    demo)
      packages+=(wine wine64 g++-mingw-w64-x86-64 libz-mingw-w64-dev zip imagemagick) ;;
    windows)
      # The cross build of the Windows programs; GoogleTest's sources for its tests under Wine.
      packages+=(wine wine64 g++-mingw-w64-x86-64 googletest nlohmann-json3-dev) ;;
    windows32)
      # The 32-bit Windows programs (tools/cmake/mingw-w64-i686.cmake); not built by CI.
      packages+=(g++-mingw-w64-i686 nlohmann-json3-dev) ;;
    packages)
      # The Windows Installer package (wixl, msitools) and its test (lnkinfo reads the shortcuts);
      # the Debian package (CPack's DEB generator needs dpkg-shlibdeps), its manual pages, its
      # checks and its test (man).
      packages+=(wixl msitools liblnk-utils dpkg-dev help2man lintian desktop-file-utils man-db) ;;
    *) echo "install-packages.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
