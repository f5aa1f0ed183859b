#!/usr/bin/env bash
# Builds every preset: the 32-bit and 64-bit Windows deliverables (with stand-ins and Wine
# tests) and the native tests. The 32-bit build comes first: a few 64-bit tests use its add-in
# and packages beside their own (both builds registered, or installed, on one machine).
#
#   bash scripts/build.sh            the tools' own output, as it comes
#   bash scripts/build.sh --stages   one line per stage instead (what a person waiting for the
#                                    demo wants to see); a stage that fails shows its output
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
stages=no
[ "${1:-}" = --stages ] && stages=yes

# stage <what it does> <command...>
stage() {
  local what=$1 log rc=0
  shift
  if [ $stages = no ]; then
    "$@"
    return
  fi
  echo "$what..."
  log=$(mktemp)
  "$@" >"$log" 2>&1 || rc=$?
  [ $rc -eq 0 ] || { cat "$log" >&2; echo "$what failed" >&2; }
  rm -f "$log"
  return $rc
}

ORVALIS_INSTALL_STAGES=$stages bash scripts/install-deps.sh
# Signed when the environment names a certificate (README, "Signing"); said once either way.
if [ -n "${ORVALIS_SIGN_PFX:-}" ]; then
  echo "build: signing every binary and package with $ORVALIS_SIGN_PFX${ORVALIS_TIMESTAMP_URL:+, time-stamped by $ORVALIS_TIMESTAMP_URL}"
else
  echo "build: unsigned (ORVALIS_SIGN_PFX names no certificate)"
fi
declare -A what=([windows]="Building the 32-bit add-in, its stand-ins and tests"
                 [windows-x64]="Building the 64-bit add-in, its stand-ins and tests"
                 [native]="Building the native tests")
for preset in windows windows-x64 native; do
  stage "${what[$preset]}" bash -c "cmake --preset $preset -B '$ORVALIS_BUILD/$preset' >/dev/null && cmake --build '$ORVALIS_BUILD/$preset' -j $(nproc)"
done
