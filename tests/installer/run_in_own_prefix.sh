#!/usr/bin/env bash
# Runs the installer test program in a fresh Wine prefix of its own, with the stand-ins
# registered and the add-in not: the packages are what registers it there.
#
#   run_in_own_prefix.sh <build folder> <x86|x64> <test program> <results.xml>
set -uo pipefail
build=$1 arch=$2 exe=$3 results=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export ORVALIS_ARCH=$arch
export ORVALIS_WINEPREFIX=$build/installer-prefix ORVALIS_PREFIX_BIN=$build ORVALIS_PREFIX_ADDIN=no
# The Start-menu shortcut stays inside the prefix: no menu entries for the desktop outside it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
source "$root/scripts/wine-env.sh"
bash "$root/scripts/prepare-prefix.sh" || { echo "could not prepare $WINEPREFIX"; exit 1; }
mkdir -p "$(dirname "$results")"
timeout --kill-after=10 900 "$ORVALIS_WINE" "$exe" --gtest_output="xml:Z:${results//\//\\}"
status=$?
wineserver -k 2>/dev/null || true
exit $status
