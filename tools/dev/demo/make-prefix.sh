#!/usr/bin/env bash
# Makes a Wine prefix whose C: is laid out like a shop's workstation, for the demo and the tests
# that run the whole road of an archive:
#   C:\team\super.mdb          master database (company 1 -> C:\super\dati.mdb, inizio row)
#   C:\super\dati.mdb          data database (automa, utenti, pv rows)
#   C:\super\bkp               the activity log's folder
#   C:\super\qanodivulgazioni.exe   stand-in companion program (records that it ran)
#   C:\programmi\winzip\wzunzip.exe stand-in unzip tool
#   C:\qano\fatture            the invoices folder (C:\qano itself holds no archive yet)
# The prefix is created with `wineboot -i` the first time (about 10 s and 700 MB); later runs only
# lay out C: afresh, unless Wine can no longer run the prefix (one made before Wine's 32-bit half
# was installed, for one): then it is made afresh. Every Wine call uses the same LC_ALL: Wine resets its regional settings when
# the locale changes.
#
# Usage: make-prefix.sh PREFIX MKMDB STANDINS_DIR
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: make-prefix.sh PREFIX MKMDB STANDINS_DIR" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
mkmdb=$2
standins=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env.sh"

export WINEPREFIX="$prefix" LC_ALL=C.UTF-8 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and nothing may be downloaded.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ -f "$prefix/system.reg" ] && ! qano_prefix_runs "$prefix"; then
  echo "make-prefix.sh: Wine can no longer run programs in $prefix; making it afresh" >&2
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
fi
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  env -u DISPLAY wineboot -i >"$prefix.wineboot.log" 2>&1 || {
    cat "$prefix.wineboot.log" >&2
    exit 1
  }
  wineserver -w
  rm -f "$prefix.wineboot.log"
fi

c="$prefix/drive_c"
rm -rf "$c/team" "$c/super" "$c/qano" "$c/programmi/winzip"
mkdir -p "$c/team" "$c/super/bkp" "$c/qano/fatture" "$c/programmi/winzip"
"$mkmdb" "$here/super.json" "$c/team/super.mdb"
"$mkmdb" "$here/dati.json" "$c/super/dati.mdb"
cp "$standins/wzunzip.exe" "$c/programmi/winzip/wzunzip.exe"
cp "$standins/qanodivulgazioni.exe" "$c/super/qanodivulgazioni.exe"
