#!/usr/bin/env bash
# Runs a Windows test program under Wine on a virtual display of its own, in the prefix
# $WINEPREFIX. Wine's desktop process keeps the display of the program that started it, so every
# Wine process of the prefix is ended before and after.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix that tools/scripts/wine-prefix.sh made}"
root=$(cd "$(dirname "$0")/../.." && pwd)
export LC_ALL="${LC_ALL:-C.UTF-8}" WINEDEBUG="${WINEDEBUG:--all}"

# The virtual display has no window manager, and Wine waits 2 s for one each time it hides a
# window that a manager would look after: its windows are left unmanaged instead.
if ! grep -qs '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
  "$root/tools/scripts/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
    /d N /f >/dev/null
fi
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
status=0
# A display number of this prefix's own to begin the search for a free one at: two builds' tests
# (the two widths) may run side by side, each starting its own virtual display.
first=$((100 + $(cksum <<<"$WINEPREFIX" | cut -d' ' -f1) % 800))
xvfb-run -a -n "$first" -s "-screen 0 1024x768x24" "$root/tools/scripts/wine-run.sh" "$@" ||
  status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
exit $status
