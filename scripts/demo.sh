#!/usr/bin/env bash
# Builds the deliverables and says where they are.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
cd "$ORVALIS_ROOT"
bash scripts/build.sh >/dev/null
echo "Built:"
echo "  $ORVALIS_BUILD/windows/addin/OrvalisAddin.dll"
echo "  $ORVALIS_BUILD/windows/Reset/ResetOrvalis.exe"
