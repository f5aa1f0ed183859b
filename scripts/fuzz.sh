#!/usr/bin/env bash
# Runs the libFuzzer targets (fuzz/, clang, ASan + UBSan), each against its reference:
#
#   bash scripts/fuzz.sh [seconds]   each target that long (default 60), its corpus kept
#                                    between runs under the build folder
#   bash scripts/fuzz.sh --ci        each target a fixed number of runs from the seed
#                                    corpus, as the tests do
#
# Prints one line per target with its runs and executions per second, then
# "fuzz: N passed, M failed". An input that makes a target differ from its reference or
# trip a sanitizer is saved under build/fuzz/findings/.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"

# Fixed runs per target for --ci. The member table's runs that start near its limit add
# 8000 rows each, so it gets fewer runs for about the same time.
declare -A ci_runs=([fuzz_display_name]=20000 [fuzz_list_text]=20000 [fuzz_member_table]=4000)

mode=time seconds=60
if [ "${1:-}" = "--ci" ]; then
  mode=ci
elif [ -n "${1:-}" ]; then
  seconds=$1
fi

bash scripts/install-deps.sh
out=$ORVALIS_BUILD/fuzz
rm -rf "$out/results"
if ! { cmake --preset fuzz -B "$out" >/dev/null && cmake --build "$out" -j "$(nproc)" >/dev/null; }; then
  echo "fuzz: the targets did not build"
  exit 1
fi

mkdir -p "$out/results" "$out/findings" "$out/logs"
passed=0 failed=0
for bin in "$out"/fuzz/fuzz_*; do
  name=$(basename "$bin")
  work=$out/work/$name
  if [ $mode = ci ]; then
    rm -rf "$work"
    limit=-runs=${ci_runs[$name]:-20000}
  else
    limit=-max_total_time=$seconds
  fi
  mkdir -p "$work"
  log=$out/logs/$name.log
  start=$(date +%s%N)
  # New inputs go to the work folder, never into the seed corpus in the repository.
  "$bin" "$limit" -timeout=10 -print_final_stats=1 -artifact_prefix="$out/findings/$name-" \
    "$work" "fuzz/corpus/$name" >"$log" 2>&1
  rc=$?
  millis=$(( ($(date +%s%N) - start) / 1000000 ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ $rc -eq 0 ]; then
    echo "$name: passed, $runs runs in $((millis / 1000)).$(printf %03d $((millis % 1000))) s, $((runs * 1000 / (millis + 1))) per second"
    touch "$out/results/$name.passed"
    passed=$((passed + 1))
  else
    echo "$name: FAILED after ${runs:-?} runs (log: $log)"
    grep -E '^(finding:|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' "$log" | head -5
    touch "$out/results/$name.failed"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
