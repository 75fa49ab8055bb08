#!/usr/bin/env bash
# Tests the Debian package as a shop's Linux workstation gets it: lintian and the desktop entry,
# then install it with dpkg -i (apt-get install -f for what it depends on), run the installed
# commands on a prefix laid out by the installed Jet 4 writer, start the program through the
# menu entry's launcher on a virtual display, show `man qanocheck`, and remove it again.
# Needs root for dpkg (else it uses sudo). The package is removed at the end whatever happened.
# Usage: deb-test.sh PACKAGE.deb
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: deb-test.sh PACKAGE.deb" >&2
  exit 2
fi
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
demo=$here/../../tools/dev/demo
. "$here/checks.sh"
export LC_ALL=C.UTF-8
SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
section() { echo "--- $1 (at $SECONDS s)"; }

work=$(mktemp -d)
xvfb=
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  if dpkg-query -W -f='${Status}' qanocontrol 2>/dev/null | grep -q "ok installed"; then
    $SUDO dpkg --purge qanocontrol >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

section "the package"
version=$(dpkg-deb -f "$deb" Version)
check_eq "named qanocontrol_<version>_<arch>.deb" \
  "qanocontrol_${version}_$(dpkg-deb -f "$deb" Architecture).deb" "$(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
check "depends on wine and the shared libraries ($depends)" \
  bash -c "grep -qw wine <<<'$depends' && grep -qw libc6 <<<'$depends'"
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 && lintian_status=0 || lintian_status=$?
sed 's/^/    /' "$work/lintian.txt"
check "lintian reports no errors" test "$lintian_status" -eq 0
check "lintian reports no warnings" bash -c "! grep -q '^W: ' '$work/lintian.txt'"
dpkg-deb -x "$deb" "$work/contents"
check "desktop-file-validate accepts the desktop entry" \
  desktop-file-validate "$work/contents/usr/share/applications/qanocontrol.desktop"

section "install"
if ! $SUDO dpkg -i "$deb" >"$work/dpkg.txt" 2>&1; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq >>"$work/dpkg.txt" 2>&1 || true
fi
check "installed with dpkg -i" \
  bash -c "dpkg-query -W -f='\${Status}' qanocontrol | grep -q 'install ok installed'"
[ "$failed" -eq 0 ] || sed 's/^/    /' "$work/dpkg.txt"
for command in qanocontrol qanocheck jetquery mkmdb qanocontrol-start; do
  check_eq "$command on PATH in /usr/bin, with the package's version" \
    "/usr/bin/$command ok $version" \
    "$(command -v $command) ok $($command --version | awk '{ print $NF }')"
  check "manual page $command(1)" test -f "/usr/share/man/man1/$command.1.gz"
done
check "/usr/share/doc/qanocontrol/copyright" test -f /usr/share/doc/qanocontrol/copyright
check "/usr/share/doc/qanocontrol/changelog.gz of this version" \
  bash -c "zcat /usr/share/doc/qanocontrol/changelog.gz | head -1 | grep -qF 'qanocontrol ($version)'"
check "the desktop entry starts the launcher" \
  grep -qx "Exec=qanocontrol-start" /usr/share/applications/qanocontrol.desktop

section "man qanocheck"
MANWIDTH=80 man qanocheck 2>/dev/null | col -b >"$work/man.txt" || true
sed 's/^/    /' "$work/man.txt"
check "man qanocheck shows its page" grep -q "qanocheck - run qanocontrol's start-up" "$work/man.txt"
MANWIDTH=200 man qanocontrol 2>/dev/null | col -b >"$work/man-qanocontrol.txt" || true
check "man qanocontrol tells the drives, the files and the failures" bash -c "
  grep -q 'dosdevices/x:' '$work/man-qanocontrol.txt' &&
  grep -q 'logqanocontrol_ddmmyyyy.txt' '$work/man-qanocontrol.txt' &&
  grep -q 'run-time error 76' '$work/man-qanocontrol.txt'"

section "the installed commands on a prefix from the installed mkmdb"
# C: is not drive_c here: everything must go through dosdevices/c:.
prefix=$work/prefix
c=$work/shop-disk
mkdir -p "$prefix/dosdevices" "$c/team" "$c/SUPER/bkp"
ln -s ../../shop-disk "$prefix/dosdevices/c:"
check "mkmdb writes the master database" mkmdb "$demo/super.json" "$c/team/super.mdb"
check "mkmdb writes the data database" mkmdb "$demo/dati.json" "$c/SUPER/dati.mdb"
(cd "$c" && WINEPREFIX=$prefix qanocheck >"$work/check.out" 2>"$work/check.err") &&
  status=0 || status=$?
sed 's/^/    /' "$work/check.out" "$work/check.err"
check_eq "qanocheck completes start-up" 0 "$status"
check "qanocheck found both databases" grep -qx "CONTROLLO DB SUPER OK" "$work/check.out"
check "qanocheck took the data database from the master" \
  grep -qxF 'db_dati="C:\\SUPER\\DATI.MDB"' "$work/check.out"
check_eq "jetquery reads the master database" '"Negozio dimostrativo"' \
  "$(jetquery "$c/team/super.mdb" "select * from società where codute = 1" |
    awk -F '\t' '$1 == "ragione_sociale" { print $3 }')"

section "the launcher"
check "without drive C: it says so" bash -c \
  "WINEPREFIX='$work/none' qanocontrol-start 2>&1 >/dev/null | grep -q 'has no drive C:'"
mkdir -p "$work/empty/dosdevices" "$work/empty/drive_c"
ln -s ../drive_c "$work/empty/dosdevices/c:"
check "without C:\\super it says so" bash -c \
  "WINEPREFIX='$work/empty' qanocontrol-start 2>&1 >/dev/null | grep -q 'has no folder super'"
# The program itself, started from elsewhere, on a virtual display: it must find its log folder
# and the master database through the C:\super (here SUPER) that the launcher changed into.
exec 3< <(Xvfb -displayfd 1 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -t 30 display <&3 || display=
check "a virtual display for the program" test -n "$display"
(cd / && WINEPREFIX=$prefix DISPLAY=:$display exec qanocontrol-start >"$work/program.err" 2>&1) &
program=$!
log_ok() { grep -qs "Controllo  DB  OK" "$c"/SUPER/bkp/logqanocontrol_*.txt; }
check "qanocontrol, started by the launcher, logs its start-up on C: ($c)" eventually 30 log_ok
kill -TERM "$program" 2>/dev/null
wait "$program" && status=0 || status=$?
program=
check_eq "qanocontrol ends with status 0 on SIGTERM" 0 "$status"
sed 's/^/    /' "$c"/SUPER/bkp/logqanocontrol_*.txt "$work/program.err" 2>/dev/null || true
kill "$xvfb" 2>/dev/null
xvfb=

section "remove"
dpkg-query -L qanocontrol >"$work/files.txt"
$SUDO dpkg --purge qanocontrol >"$work/dpkg.txt" 2>&1 || cat "$work/dpkg.txt"
check "dpkg --purge removes the package" \
  bash -c "! dpkg-query -W -f='\${Status}' qanocontrol 2>/dev/null | grep -q installed"
left=
while read -r path; do
  # The system's own folders (/usr, /usr/bin, ...) stay; everything the package brought goes.
  [ -d "$path" ] && [ -n "$(dpkg -S "$path" 2>/dev/null)" ] && continue
  [ -e "$path" ] || [ -L "$path" ] && left="$left $path"
done <"$work/files.txt"
check "nothing of the package is left${left:+ (left:$left)}" test -z "$left"

summary deb
