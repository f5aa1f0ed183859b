#!/usr/bin/env bash
# Builds every preset: the 32-bit and 64-bit Windows deliverables (with stand-ins and Wine
# tests) and the native tests. The 32-bit build comes first: a few 64-bit tests use its add-in
# and packages beside their own (both builds registered, or installed, on one machine).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/install-deps.sh
# Signed when the environment names a certificate (README, "Signing"); said once either way.
if [ -n "${ORVALIS_SIGN_PFX:-}" ]; then
  echo "build: signing every binary and package with $ORVALIS_SIGN_PFX${ORVALIS_TIMESTAMP_URL:+, time-stamped by $ORVALIS_TIMESTAMP_URL}"
else
  echo "build: unsigned (ORVALIS_SIGN_PFX names no certificate)"
fi
for preset in windows windows-x64 native; do
  cmake --preset "$preset" -B "$ORVALIS_BUILD/$preset" >/dev/null
  cmake --build "$ORVALIS_BUILD/$preset" -j "$(nproc)"
done
