#!/usr/bin/env bash
# Builds the benchmarks and prints every ratio they measure, in one run: the native ones
# from the optimised preset without sanitizers (their numbers are about the code as it
# ships), then "Create List" under Wine in a fresh prefix with the stand-ins registered.
# The ratios are for reading, not a pass or fail; the script fails only when a benchmark
# can't be built or doesn't run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/install-deps.sh

native=$ORVALIS_BUILD/native-release
windows=$ORVALIS_BUILD/windows
cmake --preset native-release -B "$native" >/dev/null
cmake --build "$native" -j "$(nproc)" --target bench_native_member_table bench_native_list_text >/dev/null
cmake --preset windows -B "$windows" >/dev/null
cmake --build "$windows" -j "$(nproc)" --target bench_wine_create_list OrvalisSim >/dev/null

echo "== native (g++ -O2, no sanitizers)"
"$native/bench/bench_native_member_table"
"$native/bench/bench_native_list_text"

echo "== Wine"
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  set -e
  bash scripts/prepare-prefix.sh
  wine "$ORVALIS_BUILD/windows/bench/bench_wine_create_list.exe" | tr -d "\r"
  wineserver -k
'
