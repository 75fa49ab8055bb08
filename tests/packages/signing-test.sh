#!/usr/bin/env bash
# The Windows build signed with a throwaway certificate made here: configured with QANO_SIGN_CERT
# and QANO_SIGN_KEY, the build signs the shipped programs (the .msi's and the zip's) and the
# .msi, and each one verifies with osslsigncode; configured again without them, nothing is
# signed. The build folder is left unsigned, as it was.
# Usage: signing-test.sh BUILD   (the 32-bit Windows build, which makes the .msi)
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: signing-test.sh BUILD" >&2
  exit 2
fi
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$here/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=qanocontrol test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }

QANO_SIGN_CERT=$work/cert.pem QANO_SIGN_KEY=$work/key.pem cmake -S "$root" -B "$build" >"$work/configure.txt"
check "the configure says it signs" grep -q "Signing the programs and the .msi" "$work/configure.txt"
cmake --build "$build" --target msi windows_zip >"$work/build.txt" 2>&1
shipped=("$build/qanocontrol.msi" "$build"/tools/ship/packaging/windows/files/*.exe
         "$build"/tools/ship/windows/qanocontrol/*.exe)
check_eq "the .msi and six programs to sign" 7 "${#shipped[@]}"
for file in "${shipped[@]}"; do
  check "${file#"$build"/} is signed and verifies" verifies "$file"
done

cmake -S "$root" -B "$build" >"$work/configure.txt"
check_eq "without a certificate the configure says so, once" 1 \
  "$(grep -c "Not signing: QANO_SIGN_CERT and QANO_SIGN_KEY are not set" "$work/configure.txt")"
cmake --build "$build" --target msi windows_zip >"$work/build.txt" 2>&1
for file in "${shipped[@]}"; do
  check "${file#"$build"/} is not signed" bash -c "! osslsigncode verify -in '$file' >/dev/null 2>&1"
done
summary signing
