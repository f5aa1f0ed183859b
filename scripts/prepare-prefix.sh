#!/usr/bin/env bash
# Makes a fresh Wine prefix under the build folder and registers the stand-ins in it, HTML
# Help's among them (ORVALIS_ARCH=x64: a 64-bit prefix with the 64-bit builds only).
# ORVALIS_PREFIX_BIN names another build folder to take them from; ORVALIS_PREFIX_ADDIN=no
# leaves the add-in unregistered (for the installer's tests, whose packages register it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
bin=${ORVALIS_PREFIX_BIN:-$ORVALIS_BIN}

wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
"$ORVALIS_WINE" wineboot.exe -i >/dev/null 2>&1
wineserver -w || true
wineserver -p
# The title bar's buttons are drawn in Marlett. Debian ships it with fonts-wine, in Wine's data
# folder, which this Wine doesn't read its fonts from: the prefix's own fonts folder does.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
fi
for dll in "$bin"/sim/*.dll; do
  "$ORVALIS_WINE" regsvr32.exe /s "$dll"
done
# HTML Help: the stand-in takes the system folder's hhctrl.ocx, and Wine loads that file only
# (native, never its builtin), so no test opens Wine's viewer and a test that moves the file
# away sees a machine without HTML Help. The x64 prefix runs 64-bit code alone: system32 only.
cp "$bin/sim/hhctrl/hhctrl.ocx" "$WINEPREFIX/drive_c/windows/system32/hhctrl.ocx"
"$ORVALIS_WINE" reg.exe add 'HKCU\Software\Wine\DllOverrides' /v hhctrl.ocx /t REG_SZ /d native /f >/dev/null
# The add-in, registered as its installer would; the host finds it through its add-in entry.
if [ "${ORVALIS_PREFIX_ADDIN:-yes}" != no ]; then
  "$ORVALIS_WINE" regsvr32.exe /s "$bin/addin/OrvalisAddin.dll"
fi
