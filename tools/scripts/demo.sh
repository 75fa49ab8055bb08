#!/usr/bin/env bash
# Builds the program and runs its main job on a self-contained demo.
set -euo pipefail
cd "$(dirname "$0")/../.."

bash tools/scripts/install-packages.sh build
cmake -S . -B build/release -G Ninja >/dev/null
cmake --build build/release -j "$(nproc)"
echo
echo "Built. The window and the demo prefix are not there yet: the program's main job"
echo "(start-up, the window and the archive intake) is being wired together."
