#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows tests: removes PREFIX, creates it with `wineboot -i`
# (about 10 s) and gives its user the shops' regional settings (short date dd/MM/yyyy, long time
# HH:mm:ss, decimal comma, "." between thousands), whatever locale Wine took from LC_ALL.
# Usage: wine-prefix.sh PREFIX
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: wine-prefix.sh PREFIX" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix" LC_ALL="${LC_ALL:-C.UTF-8}" WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and nothing may be downloaded.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Only a folder that is a Wine prefix (or nothing) is removed.
if [ -e "$prefix" ] && [ ! -f "$prefix/system.reg" ] && [ -n "$(ls -A "$prefix")" ]; then
  echo "wine-prefix.sh: $prefix exists and is no Wine prefix; not removed" >&2
  exit 1
fi
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$prefix"
log="$prefix.wineboot.log"
env -u DISPLAY wineboot -i >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
# One import for all four: every Wine start costs a second or more.
settings="$prefix.international.reg"
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Control Panel\International]' \
  '"sShortDate"="dd/MM/yyyy"' '"sTimeFormat"="HH:mm:ss"' '"sDecimal"=","' '"sThousand"="."' \
  >"$settings"
# Its Windows path on Wine's drive Z:, the host's root.
wine regedit /S "Z:${settings//\//\\}" >>"$log" 2>&1 || {
  cat "$log" >&2
  echo "wine-prefix.sh: Wine cannot run programs in the fresh prefix $prefix" >&2
  exit 1
}
rm -f "$settings"
wineserver -w
rm -f "$log"
