#!/usr/bin/env bash
# Builds everything, runs the native tests, then the Wine tests in a fresh prefix under Xvfb,
# and ends with one line adding up every test case: "N passed, M failed".
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/build.sh || { echo "0 passed, 1 failed"; exit 1; }

rm -rf "$ORVALIS_BUILD"/native/test-results "$ORVALIS_BUILD"/windows/test-results
status=0
ctest --test-dir "$ORVALIS_BUILD/native" --output-on-failure -j "$(nproc)" || status=1

cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  set -e
  bash scripts/prepare-prefix.sh
  ctest --test-dir "$ORVALIS_BUILD/windows" --output-on-failure -j 1 --timeout 900
' || status=1
cleanup
# The demo command itself on bad scenario files (its own prefix run, after the suite's).
bash tests/demo_input.sh "$ORVALIS_BUILD/windows/test-results/demo_input.xml" || status=1

# Add up the GoogleTest cases of both runs.
passed=0; failed=0; skipped=0
for xml in "$ORVALIS_BUILD"/native/test-results/*.xml "$ORVALIS_BUILD"/windows/test-results/*.xml; do
  [ -f "$xml" ] || continue
  head=$(grep -m1 -o '<testsuites [^>]*>' "$xml")
  t=$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$head")
  f=$(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$head")
  e=$(sed -E 's/.* errors="([0-9]+)".*/\1/' <<<"$head")
  d=$(sed -E 's/.* disabled="([0-9]+)".*/\1/' <<<"$head")
  k=$(grep -c 'result="skipped"' "$xml" || true)
  passed=$((passed + t - f - e - d - k)); failed=$((failed + f + e)); skipped=$((skipped + k))
done
# A program that crashed or never wrote its results counts as one failure.
[ $status -ne 0 ] && [ $failed -eq 0 ] && failed=1
if [ $skipped -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ $status -eq 0 ] && [ $failed -eq 0 ]
