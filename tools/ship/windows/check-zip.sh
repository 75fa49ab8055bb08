#!/usr/bin/env bash
# Checks that a Windows zip holds its README and programs of the width it is named for: the
# machine field of each program's PE header (i386 for 32 bits, x86-64 for 64).
# Usage: check-zip.sh ZIP BITS PROGRAM...
set -euo pipefail
zip=$1
bits=$2
shift 2
case "$bits" in
  32) want=014c ;;
  64) want=8664 ;;
  *) echo "check-zip.sh: BITS is 32 or 64" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
status=0
[ -s "$work/README.txt" ] || { echo "$zip: no README.txt" >&2; status=1; }
for program in "$@"; do
  exe=$work/$program.exe
  if [ ! -f "$exe" ]; then
    echo "$zip: $program.exe is missing" >&2
    status=1
    continue
  fi
  # The PE header's offset at 0x3c; the machine field after its "PE\0\0".
  offset=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
  signature=$(od -An -t x1 -j "$offset" -N 4 "$exe" | tr -d ' ')
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$exe" | tr -d ' ')
  if [ "$signature" != 50450000 ] || [ "$machine" != "$want" ]; then
    echo "$zip: $program.exe is no $bits-bit Windows program (machine $machine)" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "$zip: README.txt and $# $bits-bit programs"
exit $status
