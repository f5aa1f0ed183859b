#!/usr/bin/env bash
# The demo: builds everything, makes a Wine prefix with the add-in and the stand-ins registered,
# and plays the mail client through one whole run of the add-in on an address book:
#
#   bash scripts/demo.sh [--arch x86|x64] [--without-cdo] [--client <year>] [--nested] [--format <form>]
#                        [--require-signed [--unsigned]] [scenario.json]
#
# The scenario (default: samples/scenario.json) holds the address book's directory and what
# the user picks in the "Select Names" dialog; see samples/README.md. --arch x64 runs the
# 64-bit add-in in a 64-bit prefix with the 64-bit stand-ins; the default is the 32-bit one.
# --without-cdo plays a machine without CDO (the mail client's 2007 version and later): the
# add-in then works through the client's own address book. A 64-bit client never has CDO, so
# --arch x64 implies it. --client plays that version of the mail client (2000, 2002, 2003,
# 2007, 2010, 2013, 2016; without it the 2000 version, as always): from 2010 on the client shows
# a ribbon, and the run clicks the add-in's ribbon button "Orvalis" instead of the toolbar's,
# opens the window a second time after closing it, and shuts down with the window open. On such
# a client the user can first set the list's two options on the ribbon: --nested ticks "Lists
# in lists" (a list inside a picked list gives its own members; the sample with nesting,
# samples/scenario-nested.json, is then the default scenario), --format chooses the form of the
# list: address-name (the default), mailman ("Name <address>") or csv.
# --require-signed plays a client whose policy lets only add-ins signed by a trusted publisher
# load: the build is signed with a throwaway certificate (scripts/test-authority.sh), which the
# prefix trusts as an administrator would, and the usual run follows; with --unsigned as well
# the build stays unsigned and the run shows the client refusing the add-in.
set -euo pipefail
arch=x86
cdo=with
client=
nested=
format=
require_signed=no
unsigned=no
while [ $# -gt 0 ]; do
  case "$1" in
    --require-signed) require_signed=yes; shift ;;
    --unsigned) unsigned=yes; shift ;;
    --without-cdo) cdo=without; shift ;;
    --arch) arch=${2:-}; shift 2 || { echo "--arch needs x86 or x64" >&2; exit 2; } ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    --client) client=${2:-}; shift 2 || { echo "--client needs a year (2000 ... 2016)" >&2; exit 2; } ;;
    --client=*) client=${1#--client=}; shift ;;
    --nested) nested=yes; shift ;;
    --format) format=${2:-}; shift 2 || { echo "--format needs address-name, mailman or csv" >&2; exit 2; } ;;
    --format=*) format=${1#--format=}; shift ;;
    *) break ;;
  esac
done
case "$arch" in x86|x64) ;; *) echo "unknown architecture: $arch (x86 or x64)" >&2; exit 2 ;; esac
case "$client" in ""|2000|2002|2003|2007|2010|2013|2016) ;;
  *) echo "unknown client: $client (2000, 2002, 2003, 2007, 2010, 2013 or 2016)" >&2; exit 2 ;; esac
case "$format" in ""|address-name|mailman|csv) ;;
  *) echo "unknown format: $format (address-name, mailman or csv)" >&2; exit 2 ;; esac
if [ -n "$nested$format" ]; then
  case "$client" in 2010|2013|2016) ;;
    *) echo "--nested and --format are options on the ribbon of the mail client from its 2010 version on: add --client 2010, 2013 or 2016" >&2
       exit 2 ;; esac
fi
[ "$arch" = x64 ] && cdo=without
[ "$unsigned" = no ] || [ "$require_signed" = yes ] || { echo "--unsigned goes with --require-signed" >&2; exit 2; }
export ORVALIS_ARCH=$arch
demo_flags=()
[ "$cdo" = without ] && demo_flags=(--without-cdo)
[ -n "$client" ] && demo_flags+=(--client "$client")
[ -n "$nested" ] && demo_flags+=(--nested)
[ -n "$format" ] && demo_flags+=(--format "$format")
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# The scenario as the user named it, from where they are; the sample from the project's root.
default_scenario=samples/scenario.json
[ -n "$nested" ] && default_scenario=samples/scenario-nested.json
shown=${1:-$default_scenario}
[ $# -gt 0 ] || cd "$ORVALIS_ROOT"
[ -f "$shown" ] || { echo "no such scenario file: $shown" >&2; exit 2; }
scenario=$(realpath "$shown")
cd "$ORVALIS_ROOT"

# The signing policy: the client's version names its policy key (9.0 for 2000, 16.0 for 2016).
export ORVALIS_DEMO_POLICY=
if [ "$require_signed" = yes ]; then
  case "$client" in 2002) major=10 ;; 2003) major=11 ;; 2007) major=12 ;; 2010) major=14 ;; 2013) major=15 ;;
    2016) major=16 ;; *) major=9 ;; esac
  export ORVALIS_DEMO_POLICY="HKCU\\Software\\Policies\\Microsoft\\Office\\$major.0\\Outlook\\Security"
  export ORVALIS_DEMO_AUTHORITY=
  if [ "$unsigned" = yes ]; then
    unset ORVALIS_SIGN_PFX ORVALIS_SIGN_PASSWORD_FILE ORVALIS_TIMESTAMP_URL
    echo "The client requires add-ins signed by a trusted publisher; the build stays unsigned."
  else
    # Outside the build folder, and gone with the demo: the key and its password are of no use after it.
    ORVALIS_DEMO_AUTHORITY=$(mktemp -d)
    trap 'rm -rf "$ORVALIS_DEMO_AUTHORITY"' EXIT
    bash scripts/test-authority.sh "$ORVALIS_DEMO_AUTHORITY"
    export ORVALIS_SIGN_PFX=$ORVALIS_DEMO_AUTHORITY/signer.pfx ORVALIS_SIGN_PASSWORD_FILE=$ORVALIS_DEMO_AUTHORITY/signer.pass
    unset ORVALIS_TIMESTAMP_URL
    echo "The client requires add-ins signed by a trusted publisher; the build is signed by the throwaway \"Orvalis Test Publisher\"."
  fi
fi

bash scripts/build.sh --stages
if [ "$arch" = x86 ] && ! why=$(bash scripts/x86-code.sh probe); then
  echo "The 32-bit demo can't run here: $why. bash scripts/demo.sh --arch x64 runs the 64-bit one." >&2
  exit 1
fi
echo "The $([ "$arch" = x64 ] && echo 64 || echo 32)-bit add-in: $ORVALIS_BIN/addin/OrvalisAddin.dll"

out=$ORVALIS_BUILD/demo
[ "$arch" = x64 ] && out=$ORVALIS_BUILD/demo-x64
[ -n "$client" ] && out=$out-$client
[ -n "$nested" ] && out=$out-nested
[ -n "$format" ] && out=$out-$format
saved_name=subscribers.txt
[ "$format" = csv ] && saved_name=subscribers.csv
rm -rf "$out"
mkdir -p "$out"
# A scenario that doesn't load stops the demo before the mail client starts; its message
# names the file as the user did.
export ORVALIS_OUT=$out ORVALIS_SCENARIO_FILE=$shown ORVALIS_DEMO_FLAGS="${demo_flags[*]:-}" ORVALIS_SAVED_NAME=$saved_name

winpath() { echo "Z:${1//\//\\}"; }
export ORVALIS_SIM_SCENARIO=$(winpath "$scenario")
export ORVALIS_HOST_STATE=$(winpath "$out/host-state.json")

echo "Making the Wine prefix, with the stand-ins and the add-in registered..."
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  set -e
  bash scripts/prepare-prefix.sh >/dev/null
  # A virtual desktop, so the window gets its title bar in the screenshot.
  "$ORVALIS_WINE" reg.exe add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
  "$ORVALIS_WINE" reg.exe add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 800x600 /f >/dev/null
  # The policy in the registry, and the throwaway publisher trusted as an administrator would.
  if [ -n "$ORVALIS_DEMO_POLICY" ]; then
    "$ORVALIS_WINE" reg.exe add "$ORVALIS_DEMO_POLICY" /v requireaddinsig /t REG_DWORD /d 1 /f >/dev/null
    if [ -n "$ORVALIS_DEMO_AUTHORITY" ]; then
      trust="$ORVALIS_BIN/sim/trust/OrvalisTrust.exe"
      "$ORVALIS_WINE" "$trust" add Root "Z:${ORVALIS_DEMO_AUTHORITY//\//\\}\\root.cer"
      "$ORVALIS_WINE" "$trust" add TrustedPublisher "Z:${ORVALIS_DEMO_AUTHORITY//\//\\}\\signer.cer"
    fi
  fi
  wineserver -k; wineserver -w; wineserver -p
  save="Z:${ORVALIS_OUT//\//\\}\\$ORVALIS_SAVED_NAME"
  shot="Z:${ORVALIS_OUT//\//\\}\\window.bmp"
  # To a file, not a pipe: the virtual desktop outlives the program and would hold a pipe open.
  rc=0
  timeout 120 "$ORVALIS_WINE" "$ORVALIS_BIN/sim/demo/OrvalisDemo.exe" $ORVALIS_DEMO_FLAGS "$save" "$shot" >"$ORVALIS_OUT/run.log" 2>&1 || rc=$?
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
# An unsigned build under the policy: the refusal is what there is to show.
if [ "$unsigned" = yes ] && grep -q "the mail client refused the add-in" "$out/output.txt"; then
  exit 0
fi
[ -f "$out/$saved_name" ] || { echo "The demo did not save the list." >&2; exit 1; }
echo "Saved list:  $out/$saved_name"
[ -f "$out/window.png" ] && echo "Screenshot:  $out/window.png"
exit 0
