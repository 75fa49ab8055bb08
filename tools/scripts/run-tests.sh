#!/usr/bin/env bash
# Builds the project twice, normally and with AddressSanitizer + UndefinedBehaviorSanitizer,
# and runs every test in both builds; runs the README's demo; runs each fuzz target for half a
# minute with a fixed seed; then cross-builds the Windows programs, 64-bit and 32-bit, and runs
# their tests under Wine (the 32-bit ones where this machine runs 32-bit programs); builds both
# packages and tests them by installing them.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Every package that any step below needs, before the first configure: a tool that a configure
# did not find is left out of that build folder's default targets. Wine and MinGW-w64 for the road
# of an archive through Wine, the packaging tools for the packages' step.
bash tools/scripts/install-packages.sh build demo windows windows32 packages
source tools/scripts/wine-env.sh
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

# The README's first command, as a newcomer runs it: the demo's archive taken by the real program.
echo "=== demo ==="
bash tools/scripts/demo.sh >build/release/demo.log 2>&1 || { cat build/release/demo.log; status=1; }
tail -n 2 build/release/demo.log

# Each fuzz target for half a minute with a fixed seed, all four at once on the machine's cores.
echo "=== fuzzing ==="
FUZZ_JOBS=4 bash tools/scripts/fuzz.sh 30 || status=1

echo "=== windows builds ==="
started=$SECONDS
# Optimised without debugging information: the zip's programs are stripped anyway, and MinGW's
# debugging information costs much of the build's time. Both widths with warnings as errors:
# what differs between them (SQLLEN, CALLBACK, pointer sizes) compiles clean in each.
for width in windows:mingw-w64 windows32:mingw-w64-i686; do
  dir=build/${width%%:*}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="tools/cmake/${width#*:}.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQANO_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$jobs"
done
built=$SECONDS
# Each run makes its Wine prefix afresh (the WinePrefix test, which every other one waits for).
# The two widths' tests run side by side, each in its own prefix and on its own virtual display:
# most of their time is waiting for the program's ticks.
echo "=== windows tests, 64-bit and 32-bit side by side ==="
ctest --test-dir build/windows -j "$jobs" --output-on-failure --timeout 600 \
  >build/windows/tests.log 2>&1 &
tests64=$!
tests32=""
if qano_wine_runs_32bit; then
  ctest --test-dir build/windows32 -j "$jobs" --output-on-failure --timeout 600 \
    >build/windows32/tests.log 2>&1 &
  tests32=$!
fi
wait "$tests64" || status=1
echo "=== windows tests, 64-bit ==="
cat build/windows/tests.log
if [ -n "$tests32" ]; then
  wait "$tests32" || status=1
  echo "=== windows tests, 32-bit ==="
  cat build/windows32/tests.log
else
  # Without Wine's 32-bit half, the 32-bit zip is checked all the same.
  ctest --test-dir build/windows32 -R '^WindowsZip$' --output-on-failure || status=1
  echo "Windows tests: the 32-bit programs were built but not run: $(qano_wine32_reason)"
fi
echo "Windows builds $((built - started)) s, tests $((SECONDS - built)) s;" \
  "zips: build/windows32/qanocontrol-windows.zip (32-bit), build/windows/qanocontrol-windows-x64.zip"

# Both packages, built and tested by installing, running and removing them.
echo "=== packages ==="
started=$SECONDS
bash tools/scripts/packages-test.sh || status=1
echo "Packages: $((SECONDS - started)) s"
exit $status
