#!/usr/bin/env bash
# Builds the project twice, normally and with AddressSanitizer + UndefinedBehaviorSanitizer,
# and runs every test in both builds; then runs each fuzz target for a minute with a fixed seed.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Wine and MinGW-w64 too: the road of an archive is tested through Wine.
bash tools/scripts/install-packages.sh build demo
jobs=$(nproc)

status=0
for variant in release sanitize; do
  dir="build/$variant"
  flags=(-DQANO_WERROR=ON)
  [ "$variant" = sanitize ] && flags+=(-DQANO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  echo "=== $variant build ==="
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $variant tests ==="
  # The road through Wine runs native Windows programs, which the sanitizers do not see into:
  # it runs once, in the normal build.
  only=()
  [ "$variant" = sanitize ] && only=(-LE wine)
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 "${only[@]}" || status=1
done

echo "=== fuzzing ==="
bash tools/scripts/fuzz.sh 60 || status=1
exit $status
