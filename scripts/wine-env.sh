# Sourced by the scripts: where the build and the Wine prefix live.
# ORVALIS_ARCH picks the Windows build and its prefix: x86 (default; build/windows, a win32
# prefix) or x64 (build/windows-x64, a win64 prefix, which runs 32-bit programs too).
ORVALIS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ORVALIS_BUILD=${ORVALIS_BUILD:-$ORVALIS_ROOT/build}
export ORVALIS_ARCH=${ORVALIS_ARCH:-x86}
case "$ORVALIS_ARCH" in
  x86) export ORVALIS_BIN=$ORVALIS_BUILD/windows WINEARCH=win32 ;;
  x64) export ORVALIS_BIN=$ORVALIS_BUILD/windows-x64 WINEARCH=win64 ;;
  *) echo "unknown architecture: $ORVALIS_ARCH (x86 or x64)" >&2; return 2 2>/dev/null || exit 2 ;;
esac
# The 32-bit build folder: ResetOrvalis.exe is built there only, and serves both.
export ORVALIS_BIN_X86=$ORVALIS_BUILD/windows
export WINEPREFIX=${ORVALIS_WINEPREFIX:-$ORVALIS_BIN/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
