#!/usr/bin/env bash
# Makes a fresh Wine prefix under the build folder and registers the stand-ins in it
# (ORVALIS_ARCH=x64: a 64-bit prefix with the 64-bit builds). ORVALIS_PREFIX_BIN names another
# build folder to take them from; ORVALIS_PREFIX_ADDIN=no leaves the add-in unregistered (for
# the installer's tests, whose packages register it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
bin=${ORVALIS_PREFIX_BIN:-$ORVALIS_BIN}

wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
wineserver -w || true
wineserver -p
for dll in "$bin"/sim/*.dll; do
  wine regsvr32 /s "$dll"
done
# The 32-bit reset program runs in the 64-bit prefix too. The stand-in's client is an
# in-process server that keeps the client's state in the host's state file, so a 32-bit
# program needs the 32-bit build of it, registered in the prefix's 32-bit view.
if [ "$ORVALIS_ARCH" = x64 ]; then
  for dll in "$ORVALIS_BIN_X86"/sim/*.dll; do
    wine regsvr32 /s "$dll"
  done
fi
# The add-in, registered as its installer would; the host finds it through its add-in entry.
if [ "${ORVALIS_PREFIX_ADDIN:-yes}" != no ]; then
  wine regsvr32 /s "$bin/addin/OrvalisAddin.dll"
fi
