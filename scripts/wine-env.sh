# Sourced by the scripts: where the build and the Wine prefix live.
ORVALIS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ORVALIS_BUILD=${ORVALIS_BUILD:-$ORVALIS_ROOT/build}
export WINEARCH=${ORVALIS_WINEARCH:-win32}
export WINEPREFIX=${ORVALIS_WINEPREFIX:-$ORVALIS_BUILD/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
