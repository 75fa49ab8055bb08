#!/usr/bin/env bash
# Tests the Windows Installer package under Wine, in a Wine prefix of its own, as a shop's IT
# uses it: a silent install, the installed files and shortcuts (target and "Start in", also with
# STARTIN set), the installed qanocheck.exe run from the Startup shortcut's folder on a C: laid out
# by the Jet 4 writer, an upgrade by a package with a higher version, and the removal.
# Usage: msi-test.sh MSI FILES VERSION MKMDB
#   FILES: the folder the package was built from (for the package with the higher version);
#   MKMDB: the Linux build's Jet 4 writer.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: msi-test.sh MSI FILES VERSION MKMDB" >&2
  exit 2
fi
msi=$(realpath "$1")
files=$(realpath "$2")
version=$3
mkmdb=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$here/checks.sh"
section() { echo "--- $1 (at $SECONDS s)"; }

work=$(dirname "$msi")/msi-test
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix LC_ALL=C.UTF-8 WINEDEBUG=-all
section "a Wine prefix of its own"
bash "$root/tools/scripts/wine-prefix.sh" "$WINEPREFIX"
# No Mono or Gecko; and no menu entries on the host for the shortcuts that the package makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true' EXIT

# The next version after this one: its last field (of three) one higher.
IFS=. read -r major minor build <<<"$version"
higher=$major.$minor.$((${build:-0} + 1))
bash "$root/tools/ship/packaging/windows/build-msi.sh" "$root/tools/ship/packaging/windows/qanocontrol.wxs" \
  "$files" "$higher" "$work/qanocontrol-$higher.msi"
# The same source built again: the same version, another package.
bash "$root/tools/ship/packaging/windows/build-msi.sh" "$root/tools/ship/packaging/windows/qanocontrol.wxs" \
  "$files" "$version" "$work/qanocontrol-rebuilt.msi"

c=$(readlink -f "$WINEPREFIX/dosdevices/c:")
installed="$c/Program Files (x86)/qanocontrol"
programs="$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
startup="$programs/StartUp/qanocontrol.lnk"
menu="$programs/qanocontrol"
installed_dos='C:\Program Files (x86)\qanocontrol'

# msiexec ARGUMENTS...: its exit status; the registry is on disk when it returns.
msiexec() {
  local status=0
  wine msiexec "$@" >>"$work/msiexec.txt" 2>&1 || status=$?
  wineserver -w
  return $status
}
# lnk FIELD FILE: a field of a shortcut as lnkinfo shows it ("Working directory", "Local path",
# "Command line arguments"). A "Start in" is a folder of the installer's table: its path ends in a
# backslash, as on Windows.
lnk() { lnkinfo "$2" 2>/dev/null | sed -n "s/^\t$1[[:space:]]*: //p" | head -1; }
# What is on C: and in the machine's registry, but for what Wine itself changes on every start.
snapshot() {
  (cd "$c" && find . -path ./windows -prune -o -print | sort)
  (cd "$c/windows" && find . -mindepth 1 -path ./Installer -prune -o -path ./temp -prune -o -newer "$work/before" -print 2>/dev/null | sort)
  grep -i '^\[Software\\\\\(Wow6432Node\\\\\)\?qanocontrol' "$WINEPREFIX/system.reg" || true
}
# The installed products with this package's name.
products() {
  awk '/^\[/ { uninstall = index($0, "\\\\Uninstall\\\\") > 0 }
       uninstall && $0 == "\"DisplayName\"=\"qanocontrol\"" { n++ } END { print n + 0 }' \
    "$WINEPREFIX/system.reg"
}

section "the packages"
check_eq "the package carries the project's version" "$version" \
  "$(msiinfo export "$msi" Property | tr -d '\r' | awk -F '\t' '$1 == "ProductVersion" { print $2 }')"
check "the two packages share their upgrade code" test \
  "$(msiinfo export "$msi" Property | grep ^UpgradeCode)" = \
  "$(msiinfo export "$work/qanocontrol-$higher.msi" Property | grep ^UpgradeCode)"

# Windows keeps a desktop.ini in the Startup folder, so it is never empty; Wine's does not, and
# Wine's installer removes the folder when the package's shortcut was the last thing in it.
touch "$programs/StartUp/desktop.ini"
touch "$work/before"
snapshot >"$work/before.txt"

section "silent install"
check "msiexec /i qanocontrol.msi /qn" msiexec /i "$msi" /qn
for file in qanocontrol.exe qanocheck.exe jetquery.exe README.txt; do
  check "$installed_dos\\$file" test -f "$installed/$file"
done
check "the README in Windows' text form" grep -q $'\r$' "$installed/README.txt"
check "the Startup shortcut in the common Startup folder" test -f "$startup"
check_eq "  its target" "$installed_dos\\qanocontrol.exe" "$(lnk "Local path" "$startup")"
check_eq "  its Start in: C:\\super unless told" 'C:\super\' "$(lnk "Working directory" "$startup")"
check_eq "the Start menu entry qanocontrol" "$installed_dos\\qanocontrol.exe" \
  "$(lnk "Local path" "$menu/qanocontrol.lnk")"
check_eq "the Start menu entry qanocheck: a console that stays open" \
  "/k \"\"$installed_dos\\qanocheck.exe\"\"" "$(lnk "Command line arguments" "$menu/qanocheck.lnk")"
check "  started in C:\\super too" test "$(lnk "Working directory" "$menu/qanocheck.lnk")" = 'C:\super\'
check_eq "one qanocontrol installed" 1 "$(products)"
# What "Apps & features" shows of it.
uninstall_value() {
  awk -v name="\"$1\"" '
    { sub(/\r$/, "") }
    /^\[/ { if (ours && found != "") { print found; done = 1; exit }
            uninstall = index($0, "\\\\Uninstall\\\\") > 0; ours = 0; found = "" }
    uninstall && $0 == "\"DisplayName\"=\"qanocontrol\"" { ours = 1 }
    uninstall && index($0, name "=") == 1 { found = $0; sub(/^[^=]*="/, "", found); sub(/"$/, "", found) }
    END { if (!done && ours && found != "") print found }' "$WINEPREFIX/system.reg"
}
check_eq "  its publisher" "the qanocontrol developers" "$(uninstall_value Publisher)"
check_eq "  its version" "$version" "$(uninstall_value DisplayVersion)"
check_eq "  its help link, the installed README" \
  'C:\\Program Files (x86)\\qanocontrol\\README.txt' "$(uninstall_value HelpLink)"
check "a rebuilt package of the same version over it" msiexec /i "$work/qanocontrol-rebuilt.msi" /qn
check_eq "  still one qanocontrol installed" 1 "$(products)"
check_eq "  and one Startup shortcut" 1 "$(find "$programs/StartUp" -iname '*.lnk' | wc -l)"

section "the installed qanocheck.exe from the Startup shortcut's folder"
# The shop's C:, written by the Jet 4 writer.
mkdir -p "$c/team" "$c/super/bkp"
"$mkmdb" "$root/tools/dev/demo/super.json" "$c/team/super.mdb"
"$mkmdb" "$root/tools/dev/demo/dati.json" "$c/super/dati.mdb"
start_in=$(lnk "Working directory" "$startup")
start_in=${start_in%\\}
folder="$c/$(tr '\\' / <<<"${start_in#[Cc]:\\}")"
# The programs are 32-bit: they need Wine's 32-bit half, and under it the host's 32-bit
# unixODBC and MDBTools driver.
version_out=$( (cd "$folder" && wine "$installed_dos\\qanocheck.exe" --version) 2>&1 | tr -d '\r') || true
driver=${QANO_MDBODBC:-/usr/lib/i386-linux-gnu/odbc/libmdbodbc.so}
if [ "$version_out" != "qanocheck (qanocontrol) $version" ]; then
  echo "  not run: Wine cannot run the 32-bit programs on this machine (its 32-bit half, wine32,"
  echo "  is not installed)${version_out:+: $version_out}"
elif [ ! -f "$driver" ]; then
  echo "  not run: the 32-bit MDBTools ODBC driver $driver is not installed (odbc-mdbtools:i386)"
else
  bash "$here/odbc-access.sh" "$work/odbc" "$driver" "$folder" \
    'c:\team\super.mdb' "$c/team/super.mdb" 'C:\SUPER\DATI.MDB' "$c/super/dati.mdb"
  (cd "$folder" && ODBCSYSINI=$work/odbc wine "$installed_dos\\qanocheck.exe") \
    >"$work/check.out" 2>"$work/check.err" && status=0 || status=$?
  tr -d '\r' <"$work/check.out" | sed 's/^/    /'
  sed 's/^/    /' "$work/check.err"
  check_eq "qanocheck.exe completes start-up" 0 "$status"
  # The Start menu entry as Windows starts it: its target with its stored arguments, here
  # through Wine's own command interpreter, in its "Start in"; "exit" closes the console after.
  shortcut="\"$(lnk "Local path" "$menu/qanocheck.lnk")\" $(lnk "Command line arguments" "$menu/qanocheck.lnk")"
  printf '@%s\r\n' "$shortcut" >"$c/run-shortcut.bat"
  (cd "$folder" && printf 'exit\r\n' | ODBCSYSINI=$work/odbc wine cmd /c 'C:\run-shortcut.bat') \
    >"$work/shortcut.out" 2>&1 || true
  rm -f "$c/run-shortcut.bat"
  check "the Start menu's qanocheck opens and shows its report" \
    grep -qF 'db_dati="C:\\SUPER\\DATI.MDB"' "$work/shortcut.out"
  contains "$(cat "$work/shortcut.out")" "not recognized" && sed 's/^/    /' "$work/shortcut.out"
  check "  it found both databases" grep -q "^CONTROLLO DB SUPER OK"$'\r'"\?$" "$work/check.out"
  check "  it took the data database from the master" \
    grep -qF 'db_dati="C:\\SUPER\\DATI.MDB"' "$work/check.out"
  bash "$here/odbc-access.sh" --remove "$folder"
fi
echo "shop" >"$c/super/bkp/logqanocontrol_01012026.txt"
mkdir -p "$c/qano/fatture"

section "uninstall"
check "msiexec /x qanocontrol-rebuilt.msi /qn" msiexec /x "$work/qanocontrol-rebuilt.msi" /qn
check "the shop's databases, log and C:\\qano are left" test -f "$c/team/super.mdb" -a \
  -f "$c/super/dati.mdb" -a -f "$c/super/bkp/logqanocontrol_01012026.txt" -a -d "$c/qano/fatture"
rm -rf "$c/team" "$c/super" "$c/qano"
snapshot >"$work/after.txt"
check "nothing of the package is left" diff "$work/before.txt" "$work/after.txt"
check_eq "no qanocontrol installed" 0 "$(products)"

section "install with STARTIN=D:\\super, then upgrade"
check "msiexec /i qanocontrol.msi STARTIN=D:\\super /qn" msiexec /i "$msi" 'STARTIN=D:\super' /qn
check_eq "the Startup shortcut starts in D:\\super" 'D:\super\' "$(lnk "Working directory" "$startup")"
check_eq "  so do the Start menu entries" 'D:\super\ D:\super\' \
  "$(lnk "Working directory" "$menu/qanocontrol.lnk") $(lnk "Working directory" "$menu/qanocheck.lnk")"
check "msiexec /i qanocontrol-$higher.msi /qn over it" msiexec /i "$work/qanocontrol-$higher.msi" /qn
check_eq "one qanocontrol installed" 1 "$(products)"
check "  of version $higher" grep -q "^\"DisplayVersion\"=\"$higher\"" "$WINEPREFIX/system.reg"
check "  with the files in place" test -f "$installed/qanocontrol.exe" -a -f "$installed/qanocheck.exe"
check_eq "  and one Startup shortcut" 1 "$(find "$programs/StartUp" -iname '*.lnk' | wc -l)"
check_eq "the upgrade kept Start in D:\\super" 'D:\super\' "$(lnk "Working directory" "$startup")"
check "the older package does not install over the newer" bash -c \
  "! WINEPREFIX='$WINEPREFIX' wine msiexec /i '$msi' /qn >/dev/null 2>&1"
wineserver -w
check "msiexec /x qanocontrol-$higher.msi /qn" msiexec /x "$work/qanocontrol-$higher.msi" /qn
snapshot >"$work/after.txt"
check "nothing of the package is left" diff "$work/before.txt" "$work/after.txt"

rm -rf "$work"
summary msi
