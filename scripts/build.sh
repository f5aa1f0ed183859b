#!/usr/bin/env bash
# Builds every preset: the 32-bit and 64-bit Windows deliverables (with stand-ins and Wine
# tests) and the native tests. The 32-bit build comes first: a few 64-bit tests use its add-in
# and packages beside their own (both builds registered, or installed, on one machine).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/install-deps.sh
for preset in windows windows-x64 native; do
  cmake --preset "$preset" -B "$ORVALIS_BUILD/$preset" >/dev/null
  cmake --build "$ORVALIS_BUILD/$preset" -j "$(nproc)"
done
