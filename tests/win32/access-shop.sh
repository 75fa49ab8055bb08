#!/usr/bin/env bash
# Lays out, in the fresh prefix $WINEPREFIX, what the tests of the Windows programs' road through
# the databases need, for Wine's ODBC: Wine hands every ODBC call to the host's unixODBC, where
# the MDBTools driver is registered under the Access drivers' names (ODBCSYSINI, made by the
# build). That driver opens DBQ as a host path relative to the process's working directory, so
# the folder C:\road holds, for each DOS path that start-up opens, a link of exactly that name
# (backslashes and all) to the file in the prefix's C:. A program started in C:\road (on C:,
# whose \team\super.mdb start-up looks for) reaches the databases through them.
#   C:\road\db\*.mdb   the shop's databases, which a test copies to C:\team and C:\super:
#                      super.mdb (company 1 -> C:\super\dati.mdb, an inizio row),
#                      super-senza-societa.mdb (no company 1), super-senza-inizio.mdb (no inizio
#                      row for company 1), dati.mdb
# Usage: access-shop.sh MKMDB
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix that tools/scripts/wine-prefix.sh made}"
if [ $# -ne 1 ]; then
  echo "usage: access-shop.sh MKMDB" >&2
  exit 2
fi
mkmdb=$1
demo=$(cd "$(dirname "$0")/../../tools/dev/demo" && pwd)
if [ ! -x "$mkmdb" ]; then
  echo "access-shop.sh: the Jet 4 writer $mkmdb is missing: build it in the Linux build" \
    "(cmake --build build/release --target mkmdb)" >&2
  exit 1
fi

road=$WINEPREFIX/drive_c/road
rm -rf "$road"
mkdir -p "$road/db"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A variant of the demo's master database: `sed` with one substitution that must take.
variant() {
  sed "$1" "$demo/super.json" >"$work/$2.json"
  if cmp -s "$demo/super.json" "$work/$2.json"; then
    echo "access-shop.sh: $2: the demo's super.json no longer has what '$1' changes" >&2
    exit 1
  fi
  "$mkmdb" "$work/$2.json" "$road/db/$2.mdb"
}
"$mkmdb" "$demo/super.json" "$road/db/super.mdb"
variant 's/\[1, "Negozio dimostrativo"/[2, "Negozio dimostrativo"/' super-senza-societa
variant 's/\[1, true\]/[2, true]/' super-senza-inizio
"$mkmdb" "$demo/dati.json" "$road/db/dati.mdb"

# The paths start-up opens: the master database as the program names it, the data database
# upper-cased.
ln -s ../team/super.mdb "$road/c:\\team\\super.mdb"
ln -s ../super/dati.mdb "$road/C:\\SUPER\\DATI.MDB"
