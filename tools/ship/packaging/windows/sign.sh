#!/usr/bin/env bash
# Signs Windows programs and packages with the shop's IT's code-signing certificate, when one is
# given: QANO_SIGN_CERT (the certificate, PEM or DER) and QANO_SIGN_KEY (its private key), with
# QANO_SIGN_PASS when the key has a pass phrase. Each file is signed in place with osslsigncode
# (SHA-256), with a timestamp from QANO_SIGN_TIMESTAMP (default http://timestamp.digicert.com)
# where that server answers, and without one where it does not. Without the certificate nothing
# is signed and nothing is said: the build's configure says so once.
# Usage: sign.sh FILE...
set -euo pipefail
if [ -z "${QANO_SIGN_CERT:-}" ] || [ -z "${QANO_SIGN_KEY:-}" ]; then
  exit 0
fi
if ! command -v osslsigncode >/dev/null 2>&1; then
  echo "sign.sh: osslsigncode is missing: install the Debian package osslsigncode" \
       "(bash tools/scripts/install-packages.sh packages)" >&2
  exit 1
fi
timestamp=${QANO_SIGN_TIMESTAMP:-http://timestamp.digicert.com}
pass=()
[ -n "${QANO_SIGN_PASS:-}" ] && pass=(-pass "$QANO_SIGN_PASS")
for file in "$@"; do
  signed="$file.signed"
  rm -f "$signed"
  base=(osslsigncode sign -certs "$QANO_SIGN_CERT" -key "$QANO_SIGN_KEY" "${pass[@]}" -h sha256
        -n qanocontrol -in "$file" -out "$signed")
  if ! "${base[@]}" -ts "$timestamp" >/dev/null 2>&1; then
    rm -f "$signed"
    echo "sign.sh: $(basename "$file"): no timestamp ($timestamp does not answer); signed without one" >&2
    "${base[@]}" >/dev/null
  fi
  mv -f "$signed" "$file"
done
