#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in the prefix $WINEPREFIX that the test
# run made (tools/scripts/wine-prefix.sh), with Wine's own messages silenced. Every Wine call
# keeps the same LC_ALL: Wine resets its regional settings when the locale changes.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix that tools/scripts/wine-prefix.sh made}"
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX LC_ALL="${LC_ALL:-C.UTF-8}" WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
