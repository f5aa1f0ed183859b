#!/usr/bin/env bash
# Builds everything, runs the native tests and the fuzz targets (a fixed number of runs each),
# then the whole Wine suite twice: the 32-bit builds in a fresh 32-bit prefix, the 64-bit
# builds in a fresh 64-bit prefix, each under Xvfb. Ends with one line adding up every test
# case of all the runs, each fuzz target counting as one: "N passed, M failed" (and
# ", K skipped" when some were). On a machine that runs no 32-bit x86 code even through the
# emulation the install step sets up, the 32-bit suite is skipped, each of its programs
# counted as one skipped case, and the reason is said on a line of its own.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/build.sh || { echo "0 passed, 1 failed"; exit 1; }

suites=(native windows windows-x64)
for s in "${suites[@]}"; do rm -rf "$ORVALIS_BUILD/$s/test-results"; done
status=0
# "native", "emulated by ...", or "none: <why not>".
x86_mode=$(bash scripts/x86-code.sh mode)
x86_why=""
case "$x86_mode" in none:*) x86_why=${x86_mode#none: } ;; esac
suite_seconds() { echo "$(( $(date +%s) - $1 )) s"; }
declare -A took
start=$(date +%s)
ctest --test-dir "$ORVALIS_BUILD/native" --output-on-failure -j "$(nproc)" || status=1
# Each fuzz target, a fixed number of runs against its reference; one case each.
bash scripts/fuzz.sh --ci || status=1
took[native]=$(suite_seconds "$start")

cleanup() {
  local a
  for a in x86 x64; do (export ORVALIS_ARCH=$a; source scripts/wine-env.sh; wineserver -k 2>/dev/null || true); done
}
trap cleanup EXIT
x86_skipped=0
for arch in x86 x64; do
  if [ $arch = x86 ] && [ -n "$x86_why" ]; then
    x86_skipped=$(ctest --test-dir "$ORVALIS_BUILD/windows" -N | sed -n 's/^Total Tests: *//p')
    x86_skipped=${x86_skipped:-1}
    continue
  fi
  start=$(date +%s)
  # Emulated 32-bit code runs a few times slower: a program gets longer before it counts as hung.
  wine_timeout=300
  [ $arch = x86 ] && [ "$x86_mode" != native ] && wine_timeout=900 && echo "windows: 32-bit code runs $x86_mode"
  ORVALIS_ARCH=$arch ORVALIS_NO_X86_CODE=$x86_why ORVALIS_WINE_TIMEOUT=$wine_timeout xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
    set -e
    source scripts/wine-env.sh
    bash scripts/prepare-prefix.sh
    ctest --test-dir "$ORVALIS_BIN" --output-on-failure -j 1 --timeout $((ORVALIS_WINE_TIMEOUT + 600))
  ' || status=1
  cleanup
  if [ $arch = x64 ]; then took[windows-x64]=$(suite_seconds "$start"); else took[windows]=$(suite_seconds "$start"); fi
done
# The demo command itself on bad scenario files (its own prefix run, after the suites'), with
# the 32-bit demo where it can run.
demo_arch=x86 demo_suite=windows
[ -n "$x86_why" ] && demo_arch=x64 demo_suite=windows-x64
ORVALIS_ARCH=$demo_arch bash tests/demo_input.sh "$ORVALIS_BUILD/$demo_suite/test-results/demo_input.xml" || status=1

# Add up the GoogleTest cases of the runs, with a line for each.
total_passed=0; total_failed=0; total_skipped=0
for s in "${suites[@]}"; do
  passed=0; failed=0; skipped=0
  for xml in "$ORVALIS_BUILD/$s"/test-results/*.xml; do
    [ -f "$xml" ] || continue
    head=$(grep -m1 -o '<testsuites [^>]*>' "$xml")
    t=$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$head")
    f=$(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$head")
    e=$(sed -E 's/.* errors="([0-9]+)".*/\1/' <<<"$head")
    d=$(sed -E 's/.* disabled="([0-9]+)".*/\1/' <<<"$head")
    k=$(grep -c 'result="skipped"' "$xml" || true)
    passed=$((passed + t - f - e - d - k)); failed=$((failed + f + e)); skipped=$((skipped + k))
  done
  if [ "$s" = windows ] && [ -n "$x86_why" ]; then
    echo "windows: the 32-bit suite is skipped ($x86_skipped test programs): $x86_why"
    skipped=$((skipped + x86_skipped))
  fi
  echo "$s: $passed passed, $failed failed, $skipped skipped${took[$s]:+ in ${took[$s]}}"
  total_passed=$((total_passed + passed)); total_failed=$((total_failed + failed)); total_skipped=$((total_skipped + skipped))
done
passed=0; failed=0
for result in "$ORVALIS_BUILD"/fuzz/results/*; do
  case $result in
    *.passed) passed=$((passed + 1)) ;;
    *.failed) failed=$((failed + 1)) ;;
  esac
done
echo "fuzz: $passed passed, $failed failed"
total_passed=$((total_passed + passed)); total_failed=$((total_failed + failed))
# A program that crashed or never wrote its results counts as one failure.
[ $status -ne 0 ] && [ $total_failed -eq 0 ] && total_failed=1
if [ $total_skipped -gt 0 ]; then
  echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
else
  echo "$total_passed passed, $total_failed failed"
fi
[ $status -eq 0 ] && [ $total_failed -eq 0 ]
