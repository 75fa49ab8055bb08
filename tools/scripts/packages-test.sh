#!/usr/bin/env bash
# Builds both packages and tests each by installing, running and removing it:
#   the Windows Installer package from the 32-bit Windows build (build/windows32, or
#   $QANO_WINDOWS32_DIR), tested under Wine in a prefix of its own (tests/packages/msi-test.sh);
#   the Debian package from the Linux build (build/release, or $QANO_RELEASE_DIR), tested with
#   lintian and dpkg (tests/packages/deb-test.sh). Needs root for dpkg (else sudo).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/scripts/install-packages.sh build windows windows32 packages
release=${QANO_RELEASE_DIR:-build/release}
windows32=${QANO_WINDOWS32_DIR:-build/windows32}
jobs=$(nproc)
status=0

started=$SECONDS
echo "=== Debian package ==="
# Configured again when it exists: a tool that its configure did not find is looked for anew.
cmake -S . -B "$release" -G Ninja -DQANO_WERROR=ON >/dev/null
cmake --build "$release" -j "$jobs" --target qanocontrol qanocheck jetquery mkmdb debian_files
(cd "$release" && rm -f qanocontrol_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$release"/qanocontrol_*.deb)
# The project's one version, which the Windows package must carry too.
version=$(dpkg-deb -f "$deb" Version)
bash tests/packages/deb-test.sh "$deb" || status=1
echo "Debian package: $((SECONDS - started)) s"

started=$SECONDS
echo "=== Windows Installer package ==="
cmake -S . -B "$windows32" -G Ninja -DCMAKE_TOOLCHAIN_FILE=tools/cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQANO_WERROR=ON >/dev/null
cmake --build "$windows32" -j "$jobs" --target msi
bash tests/packages/msi-test.sh "$windows32/qanocontrol.msi" \
  "$windows32/tools/ship/packaging/windows/files" "$version" "$release/tools/dev/jet4/mkmdb" || status=1
echo "Windows Installer package: $((SECONDS - started)) s"

started=$SECONDS
echo "=== Signing, with a throwaway certificate ==="
bash tests/packages/signing-test.sh "$windows32" || status=1
echo "Signing: $((SECONDS - started)) s"
exit $status
