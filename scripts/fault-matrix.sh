#!/usr/bin/env bash
# The whole fault matrix: every call of every operation failing, and answering wrongly, each
# in a host process of its own (CI runs a fixed sample of it through the Wine tests). Prints
# one line per operation and the total; fails when any run crashed, hung, leaked or gave an
# outcome other than the documented one.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/build.sh >/dev/null || { echo "build failed"; exit 1; }
export WINEPREFIX=$ORVALIS_BUILD/windows/wineprefix-matrix ORVALIS_WINEPREFIX=$ORVALIS_BUILD/windows/wineprefix-matrix
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  bash scripts/prepare-prefix.sh
  ORVALIS_MATRIX_SAMPLE=0 ORVALIS_WINE_TIMEOUT=7200 bash scripts/wine-run.sh \
    "$ORVALIS_BUILD/windows/tests/wine/wine_test_fault_matrix.exe" | grep -E "^[a-z-]+ +[0-9]+ runs|^fault matrix|Failure|: (hang|crash|leak)|\[  FAILED"
  exit ${PIPESTATUS[0]}
'
