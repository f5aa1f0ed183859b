# Sourced by the scripts: where the build and the Wine prefix live, and which Wine runs there.
# ORVALIS_ARCH picks the Windows build and its prefix: x86 (default; build/windows, a win32
# prefix) or x64 (build/windows-x64, a win64 prefix).
ORVALIS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ORVALIS_BUILD=${ORVALIS_BUILD:-$ORVALIS_ROOT/build}
export ORVALIS_ARCH=${ORVALIS_ARCH:-x86}
case "$ORVALIS_ARCH" in
  # /usr/bin/wine always starts Wine's 32-bit loader first, which needs 32-bit x86 code to
  # run (natively or emulated, scripts/x86-code.sh); the 64-bit prefix is started by the
  # 64-bit loader itself, so it needs none, and every program Wine starts from it loads the same way.
  x86) export ORVALIS_BIN=$ORVALIS_BUILD/windows WINEARCH=win32 ORVALIS_WINE=wine ;;
  x64) export ORVALIS_BIN=$ORVALIS_BUILD/windows-x64 WINEARCH=win64 ORVALIS_WINE=/usr/lib/wine/wine64
       export WINELOADER=$ORVALIS_WINE ;;
  *) echo "unknown architecture: $ORVALIS_ARCH (x86 or x64)" >&2; return 2 2>/dev/null || exit 2 ;;
esac
export WINEPREFIX=${ORVALIS_WINEPREFIX:-$ORVALIS_BIN/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
