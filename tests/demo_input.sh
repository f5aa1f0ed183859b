#!/usr/bin/env bash
# The demo command on scenario files of a user's own that don't load: the one line on stderr
# naming the file as the user did, the place and what is wrong; exit code 2; the mail client
# never started (no step printed, nothing saved). Writes its cases as a GoogleTest-style
# result file so scripts/test.sh counts them: bash tests/demo_input.sh [results.xml]
# ORVALIS_ARCH=x64 runs the 64-bit demo instead of the 32-bit one.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
results=${1:-}
arch=${ORVALIS_ARCH:-x86}
demo_out=${ORVALIS_BUILD:-$root/build}/demo
[ "$arch" = x64 ] && demo_out+=-x64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '{"cdo": {"directory": [\n  {"id": "ann", "address": "ann@example.com"},\n' >cut.json
printf '{"cdo": {"directory": [{"id": "ann"}, {"id": "bob", "adress": "bob@example.com"}]}}\n' >typo.json

passed=0 failed=0 cases=""
check() {  # check <file> <expected stderr>
  local file=$1 expected=$2 out err rc=0
  out=$(bash "$root/scripts/demo.sh" --arch "$arch" "$file" 2>"$work/err") || rc=$?
  err=$(cat "$work/err")
  local why=""
  [ "$rc" = 2 ] || why+="exit code $rc, not 2; "
  [ "$err" = "$expected" ] || why+="stderr \"$err\", not \"$expected\"; "
  grep -q "The mail client starts" <<<"$out" && why+="the mail client started; "
  for f in subscribers.txt window.png host-state.json; do
    [ -e "$demo_out/$f" ] && why+="$f was written; "
  done
  if [ -z "$why" ]; then
    passed=$((passed + 1)); echo "ok: $file"
    cases+="<testcase name=\"$file\"/>"
  else
    failed=$((failed + 1)); echo "FAILED: $file: $why"
    cases+="<testcase name=\"$file\"><failure message=\"${why//\"/&quot;}\"/></testcase>"
  fi
}
check cut.json "cut.json:3:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"
check typo.json "typo.json: cdo.directory[1].adress: unknown key"

if [ -n "$results" ]; then
  mkdir -p "$(dirname "$results")"
  echo "<testsuites tests=\"$((passed + failed))\" failures=\"$failed\" errors=\"0\" disabled=\"0\"><testsuite name=\"DemoInput\">$cases</testsuite></testsuites>" >"$results"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
