#!/bin/sh
# Runs a cross-built Windows program under Wine in the flavour's prefix (CTest's emulator).
# SONDREL_WINE_FLAVOUR and SONDREL_WINEPREFIX come from the test's environment (the build's cache).
SONDREL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$SONDREL_ROOT/tools/wine-env.sh"
exec "$SONDREL_WINE" "$@"
