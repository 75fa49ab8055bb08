#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) in
# build/fuzz and runs each for a fixed time from its seed corpus in tests/fuzz/corpus, two at a
# time. Any crash, hang, sanitizer report or broken property stops that target and makes the
# command fail; the input that did it is kept in build/fuzz/artifacts/<target>/.
#
# Usage: fuzz.sh [seconds] [target...]
#   seconds   how long each target runs (default 60)
#   target    leading_number data_path unpack_script jet_engine (default: all four)
# FUZZ_SEED   the fuzzer's random seed (default 1: the same run every time)
# FUZZ_JOBS   how many targets run at once (default 2)
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(leading_number data_path unpack_script jet_engine)
seed="${FUZZ_SEED:-1}"
jobs="${FUZZ_JOBS:-2}"
dir=build/fuzz
started=$(date +%s)

for t in "${targets[@]}"; do
  [ -d "tests/fuzz/corpus/$t" ] || { echo "fuzz.sh: unknown target '$t'" >&2; exit 2; }
done

bash tools/scripts/install-packages.sh build
echo "=== fuzz build ==="
cmake -S . -B "$dir" -G Ninja -DQANO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 >/dev/null
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/%/_fuzz}" | tail -1
built=$(date +%s)

symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target; its whole output goes to $dir/logs/<target>.txt.
run() {
  local t=$1 max_len=4096 timeout=10
  if [ "$t" = jet_engine ]; then max_len=65536; timeout=30; fi
  rm -rf "$dir/work/$t" "$dir/artifacts/$t"
  mkdir -p "$dir/work/$t" "$dir/artifacts/$t" "$dir/logs"
  "$dir/tests/fuzz/${t}_fuzz" "$dir/work/$t" "tests/fuzz/corpus/$t" \
    -seed="$seed" -max_total_time="$seconds" -timeout="$timeout" -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t/" >"$dir/logs/$t.txt" 2>&1
}

echo "=== fuzzing ${targets[*]}: ${seconds} s each, seed $seed, $jobs at a time ==="
declare -A pid_of
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run "$t" &
  pid_of[$t]=$!
done

status=0
printf '%-16s %-6s %12s %10s %8s %8s %8s\n' target result execs exec/s cov ft corpus
for t in "${targets[@]}"; do
  result=ok
  wait "${pid_of[$t]}" || result=FAIL
  log="$dir/logs/$t.txt"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$done_line")
  printf '%-16s %-6s %12s %10s %8s %8s %8s\n' "$t" "$result" "${execs:--}" "${rate:--}" \
    "${cov:--}" "${ft:--}" "${corp:--}"
  if [ "$result" != ok ]; then
    status=1
    echo "--- $t: last lines of $log ---"
    tail -40 "$log"
  fi
done
[[ " ${targets[*]} " == *" jet_engine "* ]] && grep -h '^outcomes:' "$dir/logs/jet_engine.txt" | sed 's/^/jet_engine /'
ended=$(date +%s)
echo "fuzz: build $((built - started)) s, runs $((ended - built)) s, total $((ended - started)) s"
exit $status
