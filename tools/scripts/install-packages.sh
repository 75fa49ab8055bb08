#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, when any is missing.
# Usage: install-packages.sh [group...]   groups: build (default), demo, windows, windows32,
#                                         packages
#   windows32: the 32-bit Windows programs' compiler; and, where this machine runs 32-bit programs,
#   Wine's 32-bit half with the 32-bit ODBC driver manager and MDBTools driver that Wine hands a
#   32-bit program's ODBC calls to. Elsewhere nothing of i386 is installed.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

groups=("${@:-build}")
packages=()
wine32=no
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
      # The 32-bit Windows programs (tools/cmake/mingw-w64-i686.cmake); the 32-bit loader that
      # tells whether this machine runs 32-bit programs (an amd64 package).
      packages+=(g++-mingw-w64-i686 nlohmann-json3-dev libc6-i386)
      wine32=yes ;;
    packages)
      # The Windows Installer package (wixl, msitools), its signing (osslsigncode; openssl makes
      # the test's certificate) and its test (lnkinfo reads the shortcuts);
      # the Debian package (CPack's DEB generator needs dpkg-shlibdeps), its manual pages, its
      # checks and its test (man).
      packages+=(wixl msitools liblnk-utils dpkg-dev help2man lintian desktop-file-utils man-db
                 osslsigncode openssl) ;;
    *) echo "install-packages.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

# Each package once, however many groups name it.
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | awk '!seen[$0]++')
mapfile -t missing < <(missing_of "${packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's 32-bit half, only where 32-bit programs run: on a machine that cannot run them, plain
# `wine` would pick its 32-bit loader once installed, and fail.
if [ "$wine32" = yes ]; then
  if ! qano_runs_32bit; then
    echo "install-packages.sh: Wine's 32-bit half not installed: $(qano_32bit_reason)"
    exit 0
  fi
  i386=(wine32:i386 libodbc2:i386 odbc-mdbtools:i386)
  mapfile -t missing < <(missing_of "${i386[@]}")
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    added=no
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $SUDO dpkg --add-architecture i386
      added=yes
    fi
    if ! { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends \
             "${missing[@]}" >/dev/null; }; then
      # A package list that cannot be had (a mirror in the middle of its sync) must not leave
      # every later apt-get update failing on the architecture added for it.
      if [ "$added" = yes ] && [ -z "$(dpkg-query -W -f='${Package}:${Architecture}\n' 2>/dev/null |
                                        grep ':i386$' || true)" ]; then
        $SUDO dpkg --remove-architecture i386
      fi
      # The 32-bit programs are then built but not run, and the test run says so.
      echo "install-packages.sh: Wine's 32-bit half could not be installed (apt-get failed above)"
    fi
  fi
fi
