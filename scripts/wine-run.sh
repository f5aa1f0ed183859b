#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix; a hung program is ended.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exe=$1; shift
exec timeout --kill-after=10 "${ORVALIS_WINE_TIMEOUT:-300}" "$ORVALIS_WINE" "$exe" "$@"
