#!/usr/bin/env bash
# Builds the project and runs every benchmark against its peers or its targets, printing each
# one's table. Timings are medians of repetitions; on a shared machine run them when it is quiet.
# Usage: bash bench/run-benchmarks.sh [name...]
#   names: engine startup scan look idle soak (default: all; idle takes about 2 minutes, soak about
#   3 to 4 minutes)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/scripts/install-packages.sh build
cmake -S . -B build/release -G Ninja >/dev/null
cmake --build build/release -j "$(nproc)" >/dev/null
bin=build/release

if [ $# -eq 0 ]; then
  set -- engine startup scan look idle soak
fi
plain=(--benchmark_color=false)
status=0
for name in "$@"; do
  case "$name" in
    engine)
      echo "=== Jet engine against mdbtools (jetquery, mdb-sql, mdb-export) ==="
      "$bin/bench/engine/engine_bench" "$bin/tools/ship/jetquery/jetquery" "${plain[@]}" || status=1 ;;
    startup)
      echo "=== Start-up (qanocheck) against the five start-up queries as mdb-sql processes ==="
      "$bin/bench/startup/startup_bench" "${plain[@]}" || status=1 ;;
    scan)
      echo "=== The look for archives, dir(\"C:\\qano\\acq_*.zip\"), against find ==="
      "$bin/bench/scan/scan_bench" "${plain[@]}" || status=1 ;;
    look)
      echo "=== One look of the intake over 1,000 and 10,000 waiting archives ==="
      "$bin/bench/look/look_bench" "${plain[@]}" || status=1 ;;
    idle)
      echo "=== qanocontrol idle for 120 s under Xvfb ==="
      "$bin/bench/idle/idle_bench" 120 || status=1 ;;
    soak)
      echo "=== 20,000 intakes through Form1 ==="
      "$bin/bench/soak/soak_bench" 20000 || status=1 ;;
    *) echo "unknown benchmark '$name' (engine, startup, scan, look, idle, soak)" >&2; exit 2 ;;
  esac
  echo
done
exit $status
