#!/usr/bin/env bash
# Builds the benchmarks and prints every ratio they measure, in one run: the native ones
# from the optimised preset without sanitizers (their numbers are about the code as it
# ships), then "Create List" (also on the mail client's own address book with each call
# taking 0 ms and 1 ms, a few minutes per build) and the add-in's start-up under Wine in a
# fresh prefix with the stand-ins and the add-in registered.
# The ratios are for reading, not a pass or fail; the script fails only when a benchmark
# can't be built or doesn't run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/install-deps.sh

native=$ORVALIS_BUILD/native-release
cmake --preset native-release -B "$native" >/dev/null
cmake --build "$native" -j "$(nproc)" --target bench_native_member_table bench_native_list_text >/dev/null
for preset in windows windows-x64; do
  cmake --preset "$preset" -B "$ORVALIS_BUILD/$preset" >/dev/null
  cmake --build "$ORVALIS_BUILD/$preset" -j "$(nproc)" --target bench_wine_create_list bench_wine_client_member_read bench_wine_startup OrvalisSim OrvalisAddin hhctrl >/dev/null
done

echo "== native (g++ -O2, no sanitizers)"
"$native/bench/bench_native_member_table"
"$native/bench/bench_native_list_text"

cleanup() {
  for arch in x86 x64; do (export ORVALIS_ARCH=$arch; source scripts/wine-env.sh; wineserver -k 2>/dev/null || true); done
}
trap cleanup EXIT
# 32-bit code may run only through user-mode emulation here: its figures then measure the
# emulator as much as the add-in, and the 64-bit figures are the reference.
x86_mode=$(bash scripts/x86-code.sh mode) || true
for arch in x64 x86; do
  if [ $arch = x64 ]; then
    echo "== Wine, the 64-bit build"
  else
    case "$x86_mode" in
      native) echo "== Wine, the 32-bit build" ;;
      none:*) echo "== Wine, the 32-bit build: not run (${x86_mode#none: })"; continue ;;
      *) echo "== Wine, the 32-bit build, $x86_mode: these figures measure the emulator as much as the add-in; the 64-bit ones above are the reference" ;;
    esac
  fi
  # Timings without latency move with what else the machine runs: its load goes with them.
  echo "(load average $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores)"
  ORVALIS_ARCH=$arch xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
    set -e
    source scripts/wine-env.sh
    bash scripts/prepare-prefix.sh
    "$ORVALIS_WINE" "$ORVALIS_BIN/bench/bench_wine_create_list.exe" | tr -d "\r"
    "$ORVALIS_WINE" "$ORVALIS_BIN/bench/bench_wine_client_member_read.exe" | tr -d "\r"
    "$ORVALIS_WINE" "$ORVALIS_BIN/bench/bench_wine_startup.exe" | tr -d "\r"
    wineserver -k
  '
done
