#!/usr/bin/env bash
# Builds both presets: the Windows deliverables (with stand-ins and Wine tests) and the native tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/install-deps.sh
for preset in windows native; do
  cmake --preset "$preset" -B "$ORVALIS_BUILD/$preset" >/dev/null
  cmake --build "$ORVALIS_BUILD/$preset" -j "$(nproc)"
done
