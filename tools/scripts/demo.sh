#!/usr/bin/env bash
# The main job on a self-contained demo: installs what it needs, builds, lays out a Wine prefix
# like a shop's workstation (demo/prefix), puts an incoming archive in C:\qano and runs
# qanocontrol in C:\super until the first intake has taken the archive (about 15 s); then shows
# what happened. Without $DISPLAY it runs on a virtual display of its own and ends the program by
# pressing "Uscita"; with a display it leaves the window open for you to press "Uscita".
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

bash tools/scripts/install-packages.sh build demo
cmake -S . -B build/release -G Ninja >/dev/null
# Only what the demo runs: the program, the Jet 4 writer and the Windows stand-ins.
cmake --build build/release -j "$(nproc)" --target qanocontrol mkmdb standins

demo=$root/demo
prefix=$demo/prefix
mkdir -p "$demo"
echo "Laying out the demo prefix $prefix (the first time Wine sets it up: about 10 s)"
bash tools/dev/demo/make-prefix.sh "$prefix" build/release/tools/dev/jet4/mkmdb build/release/tools/dev/standins
c=$prefix/drive_c

# The incoming purchase archive.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tools/dev/demo/acq_var.txt "$work/"
(cd "$work" && zip -q -X acq_0001.zip acq_var.txt)
mv "$work/acq_0001.zip" "$c/qano/acq_0001.zip"

export WINEPREFIX="$prefix" LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The `wine` that qanocontrol starts is one this machine can run.
source tools/scripts/wine-env.sh

xvfb_pid=""
stop_xvfb() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true; }
if [ -z "${DISPLAY:-}" ]; then
  # A virtual display: Xvfb picks a free number and writes it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    grep -q . "$work/display" 2>/dev/null && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$work/display")"
  echo "No display: running on the virtual display $DISPLAY"
fi
trap 'stop_xvfb; rm -rf "$work"' EXIT

started=$(date +%s)
(cd "$c/super" && exec "$root/build/release/app/qanocontrol") 2>"$demo/qanocontrol.stderr" &
pid=$!
echo "qanocontrol started (pid $pid) in C:\\super; the first intake comes about 15 s after start"

# Wait until the script has filed the invoices and removed the archive, and the companion ran.
done_yet() {
  [ -f "$c/qano/fatture/acq_var.txt" ] && [ ! -e "$c/qano/acq_0001.zip" ] &&
    [ -f "$c/super/qanodivulgazioni.log" ]
}
for _ in $(seq 240); do
  done_yet && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
window=$(xdotool search --name '^B$' 2>/dev/null | head -n1 || true)
shot="$demo/qanocontrol.png"
[ -n "$window" ] && import -window "$window" "$shot" 2>/dev/null || shot=""

show() {
  echo
  echo "=== $1"
  if [ -f "$2" ]; then tr -d '\r' <"$2"; else echo "(none)"; fi
}
echo
echo "After $(($(date +%s) - started)) s:"
show "Activity log C:\\super\\bkp\\$(cd "$c/super/bkp" && ls logqanocontrol_* 2>/dev/null | head -n1)" \
  "$(ls "$c"/super/bkp/logqanocontrol_* 2>/dev/null | head -n1)"
show "Unpack script C:\\qano\\agglis.bat" "$c/qano/agglis.bat"
show "Invoices C:\\qano\\fatture\\acq_var.txt" "$c/qano/fatture/acq_var.txt"
echo
echo "=== C:\\qano now holds"
(cd "$c/qano" && ls -p)
if [ -e "$c/qano/acq_0001.zip" ]; then echo "The archive acq_0001.zip is still there."; else
  echo "The archive acq_0001.zip was claimed, unpacked, filed and kept:"
  (cd "$c/qano/qanocontrol/archiviati" && ls); fi
show "Companion program (C:\\super\\qanodivulgazioni.log)" "$c/super/qanodivulgazioni.log"
[ -s "$demo/qanocontrol.stderr" ] && show "qanocontrol's messages" "$demo/qanocontrol.stderr"
echo
if [ -n "$shot" ]; then echo "Screenshot of the window: $shot"; else echo "No screenshot: the window was not found."; fi

status=0
if [ -n "$xvfb_pid" ]; then
  if [ -n "$window" ]; then
    echo "Pressing \"Uscita\"..."
    xdotool mousemove --window "$window" 300 480 click 1
  fi
  wait "$pid" || status=$?
else
  echo "The window stays open: press \"Uscita\" to end the program."
  wait "$pid" || status=$?
fi
echo "qanocontrol ended with status $status"
wineserver -w || true
done_yet || { echo "The archive did not make it through: see above." >&2; exit 1; }
exit "$status"
