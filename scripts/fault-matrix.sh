#!/usr/bin/env bash
# The whole fault matrix: every call of every operation failing, and answering wrongly, each
# in a host process of its own (CI runs a fixed sample of it through the Wine tests). Prints
# one line per operation and the total; fails when any run crashed, hung, leaked or gave an
# outcome other than the documented one; each faulty run's details and the whole output are in
# <build>/fault-matrix.log. ORVALIS_ARCH=x64 runs it with the 64-bit build.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/build.sh >/dev/null || { echo "build failed"; exit 1; }
export WINEPREFIX=$ORVALIS_BIN/wineprefix-matrix ORVALIS_WINEPREFIX=$ORVALIS_BIN/wineprefix-matrix
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  bash scripts/prepare-prefix.sh
  ORVALIS_MATRIX_SAMPLE=0 ORVALIS_WINE_TIMEOUT=7200 bash scripts/wine-run.sh \
    "$ORVALIS_BIN/tests/wine/wine_test_fault_matrix.exe" | tee "$ORVALIS_BIN/fault-matrix.log" | grep -E "^[a-z-]+ +[0-9]+ runs|^fault matrix|Failure|: (hang|crash|leak)|\[  FAILED"
  exit ${PIPESTATUS[0]}
'
