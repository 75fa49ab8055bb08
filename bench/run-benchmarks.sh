#!/usr/bin/env bash
# Builds the project and runs every benchmark against its peers, printing each one's table.
# Usage: bash bench/run-benchmarks.sh [name...]   (names: engine; default: all)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/scripts/install-packages.sh build
cmake -S . -B build/release -G Ninja >/dev/null
cmake --build build/release -j "$(nproc)" >/dev/null
bin=build/release

wanted=("${@:-engine}")
status=0
for name in "${wanted[@]}"; do
  case "$name" in
    engine)
      echo "=== Jet engine against mdbtools (jetquery, mdb-sql, mdb-export) ==="
      "$bin/bench/engine/engine_bench" "$bin/tools/jetquery/jetquery" --benchmark_color=false ||
        status=1 ;;
    *) echo "unknown benchmark '$name'" >&2; exit 2 ;;
  esac
done
exit $status
