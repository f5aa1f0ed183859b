#!/usr/bin/env bash
# The demo: builds everything, makes a Wine prefix with the add-in and the stand-ins registered,
# and plays the mail client through one whole run of the add-in on an address book:
#
#   bash scripts/demo.sh [scenario.json]
#
# The scenario (default: samples/scenario.json) holds the address book's directory and what
# the user picks in the "Select Names" dialog; see samples/README.md.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# The scenario as the user named it, from where they are; the sample from the project's root.
shown=${1:-samples/scenario.json}
[ $# -gt 0 ] || cd "$ORVALIS_ROOT"
[ -f "$shown" ] || { echo "no such scenario file: $shown" >&2; exit 2; }
scenario=$(realpath "$shown")
cd "$ORVALIS_ROOT"

echo "Building..."
bash scripts/build.sh >/dev/null

out=$ORVALIS_BUILD/demo
rm -rf "$out"
mkdir -p "$out"
# A scenario that doesn't load stops the demo before the mail client starts; its message
# names the file as the user did.
export ORVALIS_OUT=$out ORVALIS_SCENARIO_FILE=$shown

winpath() { echo "Z:${1//\//\\}"; }
export ORVALIS_SIM_SCENARIO=$(winpath "$scenario")
export ORVALIS_HOST_STATE=$(winpath "$out/host-state.json")

xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  set -e
  bash scripts/prepare-prefix.sh >/dev/null
  # A virtual desktop, so the window gets its title bar in the screenshot.
  wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
  wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 800x600 /f >/dev/null
  wineserver -k; wineserver -w; wineserver -p
  save="Z:${ORVALIS_OUT//\//\\}\\subscribers.txt"
  shot="Z:${ORVALIS_OUT//\//\\}\\window.bmp"
  # To a file, not a pipe: the virtual desktop outlives the program and would hold a pipe open.
  rc=0
  timeout 120 wine "$ORVALIS_BUILD/windows/sim/demo/OrvalisDemo.exe" "$save" "$shot" >"$ORVALIS_OUT/run.log" 2>&1 || rc=$?
  echo $rc >"$ORVALIS_OUT/exit-code"
  wineserver -k || true
  tr -d "\r" <"$ORVALIS_OUT/run.log" | grep -v "^wine: Read access denied" >"$ORVALIS_OUT/output.txt" || true
'
# Exit code 2: a data file didn't load, and the one line saying why is all there is to show.
if [ "$(cat "$out/exit-code" 2>/dev/null)" = 2 ]; then
  cat "$out/output.txt" >&2
  exit 2
fi
cat "$out/output.txt"
if [ -f "$out/window.bmp" ]; then
  convert "$out/window.bmp" "$out/window.png" && rm -f "$out/window.bmp"
fi
echo
[ -f "$out/subscribers.txt" ] || { echo "The demo did not save the list." >&2; exit 1; }
echo "Saved list:  $out/subscribers.txt"
[ -f "$out/window.png" ] && echo "Screenshot:  $out/window.png"
exit 0
